// Colour arithmetic shared by everything that turns images into pictures:
// the sRGB transfer function, so that averaging, resampling and dithering
// mix light as the eye does (in linear light), not as the stored numbers
// would.
#pragma once

#include <cstdint>
#include <span>

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

// ---- Perceived colour: what the converter minimises and the benchmark
// measures. Colours are linear-light sRGB (D65 white) unless named otherwise.

// CIE XYZ of a linear-light sRGB colour (white has Y 1), by the standard
// sRGB matrix.
void linear_to_xyz(const float rgb[3], double xyz[3]);

// CIELAB with the D65 white: L 0 (black) to 100 (white).
Lab linear_to_lab(const float rgb[3]);

// CIEDE2000 difference between two CIELAB colours (kL = kC = kH = 1).
double ciede2000(const Lab& first, const Lab& second);

// How much each small change of a colour weighs in CIEDE2000: the 3x3
// symmetric matrix M with dE00^2 ~ d^T M d for a small change d, stored as
// xx, yy, zz, xy, xz, yz. ciede2000_lab_metric takes the change in CIELAB
// (x, y, z = L, a, b) near `lab`, ciede2000_metric in linear light (x, y, z
// = red, green, blue) near `rgb`.
void ciede2000_lab_metric(const Lab& lab, float metric[6]);
void ciede2000_metric(const float rgb[3], float metric[6]);

// Gaussian blur of an image of `channels` interleaved float samples a pixel,
// row by row: the kernel exp(-i^2 / (2 sigma^2)) for i = -radius..radius,
// sampled at pixel centres and scaled to sum 1, applied along the rows and
// then the columns; beyond the edges the border pixel repeats. `out` may not
// be `in`.
void gaussian_blur(std::span<const float> in, std::span<float> out, int width, int height,
                   int channels, double sigma, int radius);

}  // namespace bitmosaic
