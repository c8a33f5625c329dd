// Decodes a PNG file with libpng's own reader, for checking what we wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/koala_picture.h"

namespace bitmosaic::testing {

struct DecodedPng {
  std::uint32_t width = 0, height = 0;  // both 0 when the file is no valid PNG
  std::vector<std::uint8_t> rgb;        // 3 bytes per pixel, row by row
};

DecodedPng decode_png(const std::string& file);

// The published RGB value of C64 colour 0..15 (pepto), as 0xRRGGBB.
std::uint32_t palette_rgb(int colour);

// Adds a failure unless `file` is a 320 x 200 PNG whose every pixel shows the
// colour of `picture` there, worked out from the file layout on its own.
void expect_png_shows(const KoalaPicture& picture, const std::string& file);

}  // namespace bitmosaic::testing
