// Reads a PNG image into 8-bit RGB with libpng: every colour type and bit
// depth, interlaced or not. The alpha channel is ignored and so are gamma
// and colour-profile chunks, so the stored values count; 16-bit samples
// keep their high byte.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace bitmosaic {

// Four bytes a pixel, row by row: red, green, blue and a fourth byte that
// means nothing (alpha stays where the image had it: dropping it would cost
// more than reading past it).
struct RgbImage {
  int width = 0;
  int height = 0;
  std::unique_ptr<std::uint8_t[]> pixels;

  // The pixel's colour as 0xRRGGBB.
  std::uint32_t rgb(int x, int y) const {
    const std::uint8_t* p =
        &pixels[4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x))];
    return static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
  }
};

// True when `file` starts with the PNG signature.
bool has_png_signature(std::span<const std::uint8_t> file);

struct PngRead {
  RgbImage image;       // width and height are set once the header was read
  std::string problem;  // libpng's words when the file is damaged
};

// Reads the header, then the pixels only when `wanted(width, height)` holds
// (otherwise the image has a size but no pixels; `wanted` bounds what is
// allocated); a damaged file gives problem text and no pixels.
PngRead read_png(std::span<const std::uint8_t> file, bool (*wanted)(int width, int height));

}  // namespace bitmosaic
