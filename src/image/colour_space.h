// Colour arithmetic shared by everything that turns images into pictures:
// the sRGB transfer function, so that averaging, resampling and dithering
// mix light as the eye does (in linear light), not as the stored numbers
// would.
#pragma once

#include <cstdint>

namespace bitmosaic {

// An 8-bit sRGB sample as linear light, 0 to 1.
float srgb_to_linear(std::uint8_t sample);

// Linear light (clamped to 0 to 1) as the nearest 8-bit sRGB sample.
std::uint8_t linear_to_srgb(float linear);

// CIELAB, D65 white: the space where distances are as the eye sees them.
struct Lab {
  double lightness, a, b;
};

// An 8-bit sRGB colour in CIELAB.
Lab srgb_to_lab(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// The Euclidean distance in CIELAB (CIE76).
double lab_distance(const Lab& one, const Lab& other);

}  // namespace bitmosaic
