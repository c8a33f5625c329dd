#include "convert/perceived_error.h"

#include <vector>

#include "image/colour_space.h"
#include "preview/png_export.h"

namespace bitmosaic {

double perceived_error(const ColourGrid& picture, const C64Colours& palette,
                       std::span<const float> image) {
  constexpr std::size_t kSamples = 3 * std::size_t{LinearImage::kWidth} * LinearImage::kHeight;
  std::vector<float> shown(kSamples);
  for (std::size_t pixel = 0; pixel < kPictureArea; ++pixel) {
    const Rgb colour = palette[picture[pixel]];
    for (std::size_t half = 0; half < 2; ++half) {
      float* out = &shown[3 * (2 * pixel + half)];
      out[0] = srgb_to_linear(colour.red);
      out[1] = srgb_to_linear(colour.green);
      out[2] = srgb_to_linear(colour.blue);
    }
  }
  std::vector<float> shown_blurred(kSamples), image_blurred(kSamples);
  gaussian_blur(shown, shown_blurred, LinearImage::kWidth, LinearImage::kHeight, 3, 1.0, 4);
  gaussian_blur(image.first(kSamples), image_blurred, LinearImage::kWidth, LinearImage::kHeight, 3,
                1.0, 4);
  double total = 0;
  for (std::size_t i = 0; i < kSamples; i += 3)
    total += ciede2000(linear_to_lab(&image_blurred[i]), linear_to_lab(&shown_blurred[i]));
  return total / (LinearImage::kWidth * LinearImage::kHeight);
}

ColourGrid shown_colours(const KoalaPicture& picture) {
  ColourGrid grid{};
  for (int y = 0; y < kPixelLines; ++y)
    for (int x = 0; x < kPixelColumns; ++x)
      grid[static_cast<std::size_t>(y * kPixelColumns + x)] =
          static_cast<std::uint8_t>(displayed_colour(picture, x, y));
  return grid;
}

}  // namespace bitmosaic
