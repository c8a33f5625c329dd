// What every step of a conversion works from: the image per multicolour
// pixel and the palette, in linear light (where colours mix) and in CIELAB
// (where the eye compares them).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/colour_space.h"
#include "image/linear_image.h"
#include "picture/colour_grid.h"
#include "image/c64_palette.h"

namespace bitmosaic {

inline constexpr int kCells = kCellColumns * kCellRows;             // 1000
inline constexpr int kCellPixels = kPixelsPerByte * kLinesPerCell;  // 32
inline constexpr std::size_t kHiresPixels =
    std::size_t{LinearImage::kWidth} * LinearImage::kHeight;  // 64000

// Pixel `index` (0..31, row by row) of cell `cell` (0..999, row by row), as
// an index into a ColourGrid.
constexpr std::size_t cell_pixel(int cell, int index) {
  const int x = cell % kCellColumns * kPixelsPerByte + index % kPixelsPerByte;
  const int y = cell / kCellColumns * kLinesPerCell + index / kPixelsPerByte;
  return static_cast<std::size_t>(y * kPixelColumns + x);
}

// The colours a cell may show: the background first, then its own three
// (a repeat leaves a bit pair unused).
using CellColours = std::array<std::uint8_t, 4>;

struct ConversionTarget {
  float colour[16][3];  // the palette in linear light
  Lab colour_lab[16];
  std::vector<float> rgb;  // 3 a multicolour pixel: the mean of its two hires pixels
  std::vector<Lab> lab;
  std::vector<float> weights;  // 4 a pixel: CIEDE2000 near its colour (ciede2000_lab_metric's
                               // L, a, b and ab; L does not mix with a and b)
  std::vector<std::uint8_t> outside;  // 1: shows the background, whatever else
};

// `image.outside` may be empty: nothing is outside.
ConversionTarget make_target(const LinearImage& image, const C64Colours& palette);

// A symmetric 3x3 matrix stored as xx, yy, zz, xy, xz, yz (as
// ciede2000_metric gives it), as a quadratic form and applied to a vector.
inline float quadratic(const float* m, float x, float y, float z) {
  return m[0] * x * x + m[1] * y * y + m[2] * z * z +
         2 * (m[3] * x * y + m[4] * x * z + m[5] * y * z);
}

inline void apply_matrix(const float* m, const float* v, float* out) {
  out[0] = m[0] * v[0] + m[3] * v[1] + m[4] * v[2];
  out[1] = m[3] * v[0] + m[1] * v[1] + m[5] * v[2];
  out[2] = m[4] * v[0] + m[5] * v[1] + m[2] * v[2];
}

// The cost of showing colour k at pixel q without dithering: CIEDE2000
// squared, as it weighs differences near the pixel's colour.
inline float plain_cost(const ConversionTarget& target, std::size_t q, int k) {
  const Lab& t = target.lab[q];
  const Lab& c = target.colour_lab[k];
  const float* w = &target.weights[4 * q];
  const auto dl = static_cast<float>(c.lightness - t.lightness);
  const auto da = static_cast<float>(c.a - t.a), db = static_cast<float>(c.b - t.b);
  return w[0] * dl * dl + w[1] * da * da + w[2] * db * db + 2 * w[3] * da * db;
}

}  // namespace bitmosaic
