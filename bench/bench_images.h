// What the converter's benchmark tools share: files in, a 320x200 PNG as
// linear light, a palette by name. Plain and strict: these read the
// benchmark's own photographs, not a user's files.
#pragma once

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "convert/perceived_error.h"
#include "image/colour_space.h"
#include "image/png_reader.h"
#include "image/c64_palette.h"

namespace bench {

inline std::optional<std::vector<std::uint8_t>> read_bytes(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::uint8_t block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0)
    bytes.insert(bytes.end(), block, block + got);
  std::fclose(file);
  return bytes;
}

// A 320x200 PNG as linear-light red, green and blue, row by row.
inline std::optional<std::vector<float>> read_linear_photo(const char* path) {
  const auto bytes = read_bytes(path);
  if (!bytes) return std::nullopt;
  const bitmosaic::PngRead read = bitmosaic::read_png(*bytes, [](int width, int height) {
    return width == bitmosaic::LinearImage::kWidth && height == bitmosaic::LinearImage::kHeight;
  });
  if (!read.image.pixels) return std::nullopt;
  std::vector<float> linear(3 * bitmosaic::LinearImage::kWidth * bitmosaic::LinearImage::kHeight);
  for (std::size_t pixel = 0; pixel < linear.size() / 3; ++pixel)
    for (std::size_t c = 0; c < 3; ++c)
      linear[3 * pixel + c] = bitmosaic::srgb_to_linear(read.image.pixels[4 * pixel + c]);
  return linear;
}

// The palette named by "--palette=NAME", or pepto; null for an unknown name.
inline const bitmosaic::C64Colours* palette_option(const char* argument) {
  const char* name = std::strncmp(argument, "--palette=", 10) == 0 ? argument + 10 : "pepto";
  for (const bitmosaic::Palette& palette : bitmosaic::c64_palettes())
    if (std::strcmp(palette.name, name) == 0) return &palette.colours;
  return nullptr;
}

}  // namespace bench
