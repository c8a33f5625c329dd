// An image on its way into a picture: decoded, turned upright, fitted to
// the picture's shape and resampled, in linear light.
#pragma once

#include <cstdint>
#include <vector>

namespace bitmosaic {

// The picture to convert, in linear light, on the 320x200 grid of hires pixels (each
// multicolour pixel covers two of them side by side).
struct LinearImage {
  static constexpr int kWidth = 320, kHeight = 200;
  std::vector<float> rgb;             // kWidth*kHeight*3, linear light 0..1, row by row
  std::vector<std::uint8_t> outside;  // kWidth*kHeight; 1 where `fit` leaves the image out: those pixels show the background
};

}  // namespace bitmosaic
