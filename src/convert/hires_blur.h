// The blur of the perceived error, on a hires image of linear red, green
// and blue (3 floats a pixel, row by row, LinearImage's size), and its
// transpose: the blurred-error search measures what the eye sees through
// it.
#pragma once

#include "image/linear_image.h"

namespace bitmosaic {

inline constexpr int kWide = LinearImage::kWidth;
inline constexpr int kHigh = LinearImage::kHeight;
inline constexpr int kBlurRadius = 4;
inline constexpr int kTaps = 2 * kBlurRadius + 1;

struct Kernel {
  float weight[kTaps];
};

// The weights of the blur along either axis, a Gaussian cut off at
// kBlurRadius and summing to 1.
Kernel blur_kernel();

// Blurs a hires image of linear red, green and blue in place, the border
// repeated as the perceived error takes it; `rows` is scratch of its size.
void blur(float* image, float* rows);

// The transpose of blur, with the two hires results of each multicolour
// pixel added: `out` has 3 floats a multicolour pixel. `rows` is scratch.
void blur_back_to_pixels(const float* in, float* out, float* rows);

}  // namespace bitmosaic
