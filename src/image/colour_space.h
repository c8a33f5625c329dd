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

}  // namespace bitmosaic
