#include "convert/perceived_error.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/colour_space.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kHires = std::size_t{LinearImage::kWidth} * LinearImage::kHeight;

TEST(PerceivedError, MeasuresWhatTheEyeSeesAfterTheBlur) {
  // White against a black picture is CIEDE2000's whole lightness scale.
  ColourGrid black{};
  EXPECT_NEAR(
      100.0, perceived_error(black, default_palette(), std::vector<float>(3 * kHires, 1.0f)), 1e-3);
  // A picture that shows the image exactly has no error.
  ColourGrid stripes{};
  std::vector<float> image(3 * kHires);
  for (std::size_t q = 0; q < kPictureArea; ++q) {
    stripes[q] = (q / kPixelColumns) % 2 ? 1 : 6;
    const Rgb c = default_palette()[stripes[q]];
    for (std::size_t h = 2 * q; h < 2 * q + 2; ++h) {
      image[3 * h] = srgb_to_linear(c.red);
      image[3 * h + 1] = srgb_to_linear(c.green);
      image[3 * h + 2] = srgb_to_linear(c.blue);
    }
  }
  EXPECT_NEAR(0.0, perceived_error(stripes, default_palette(), image), 1e-4);
  // Lines of white and black, one pixel line each, mix to grey after the
  // blur: against the grey they mix to in linear light the error is small,
  // against white it is large.
  ColourGrid lines{};
  for (std::size_t q = 0; q < kPictureArea; ++q) lines[q] = (q / kPixelColumns) % 2 ? 1 : 0;
  const std::vector<float> grey(3 * kHires, 0.5f), white(3 * kHires, 1.0f);
  EXPECT_LT(perceived_error(lines, default_palette(), grey), 2.0);
  EXPECT_GT(perceived_error(lines, default_palette(), white), 10.0);
}

}  // namespace
}  // namespace bitmosaic
