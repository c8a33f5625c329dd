// Decodes a PNG file with libpng's own reader, for checking what we wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bitmosaic::testing {

struct DecodedPng {
  std::uint32_t width = 0, height = 0;  // both 0 when the file is no valid PNG
  std::vector<std::uint8_t> rgb;        // 3 bytes per pixel, row by row
};

DecodedPng decode_png(const std::string& file);

}  // namespace bitmosaic::testing
