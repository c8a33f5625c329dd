#include "image/colour_space.h"

#include <gtest/gtest.h>

namespace bitmosaic {
namespace {

TEST(ColourSpace, EncodingInvertsDecodingAtEverySample) {
  for (int sample = 0; sample < 256; ++sample)
    EXPECT_EQ(linear_to_srgb(srgb_to_linear(static_cast<std::uint8_t>(sample))), sample);
  EXPECT_NEAR(srgb_to_linear(128), 0.2158605, 1e-6);  // mid-grey is a fifth of the light
  EXPECT_EQ(linear_to_srgb(-1.0f), 0);
  EXPECT_EQ(linear_to_srgb(2.0f), 255);
}

}  // namespace
}  // namespace bitmosaic
