// Reads a PNG image into 8-bit RGB with libpng: every colour type and bit
// depth, interlaced or not, with its alpha: import ignores it, convert lays
// transparent pixels over a matte colour. Gamma and colour-profile chunks
// are ignored, so the stored values count; 16-bit samples keep their high
// byte.
//
// A read costs what the picture needs, whatever the file claims: chunks the
// picture does not use (text, colour profiles, suggested palettes, private
// chunks) are skipped without being inflated or kept, libpng and zlib
// together get at most kPngLibraryMemory, the image data is read only until
// its last row is complete, and the pixels are allocated only for a size the
// caller wants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/image_reader.h"

namespace bitmosaic {

// Four bytes a pixel, row by row: red, green, blue and alpha (255 where the
// image has none). Import reads past the alpha: dropping it would cost more.
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

// The longest side libpng is let read from a header: PNG's own largest. A
// caller's `wanted` refuses what it cannot take, before anything is
// allocated for it, so that the caller can say why.
inline constexpr int kLongestPngSide = 0x7FFFFFFF;

// What libpng and zlib may hold at once while reading, rows of the widest
// image included; the pixels themselves come on top.
inline constexpr std::size_t kPngLibraryMemory = std::size_t{4} << 20;

// True when `file` starts with the PNG signature.
bool has_png_signature(std::span<const std::uint8_t> file);

struct PngRead {
  RgbImage image;       // width and height are set once the header was read
  std::string problem;  // libpng's words (or ours) when the file is damaged
};

// Reads the header, then the pixels only when `wanted(width, height)` holds
// (otherwise the image has a size but no pixels); a damaged file gives
// problem text and no pixels. `wanted` bounds the pixels' memory: 4 bytes a
// pixel of the size it accepts.
PngRead read_png(std::span<const std::uint8_t> file, bool (*wanted)(int width, int height));

// What a PNG header says of the image before any pixel is read.
struct PngShape {
  int width = 0, height = 0;
  bool interlaced = false;  // Adam7: the rows come in seven passes, so it is held whole
};

// Where rows read one at a time go: each row once, top to bottom, four bytes
// a pixel as RgbImage holds them.
struct PngRows {
  void* context = nullptr;
  // Whether to read the pixels of an image of this shape at all.
  bool (*wanted)(void* context, const PngShape& shape) = nullptr;
  void (*take)(void* context, int y, const std::uint8_t* row) = nullptr;
};

struct PngRowsRead {
  PngShape shape;       // once the header was read
  bool read = false;    // every row went to `take`
  std::string problem;  // as PngRead's
};

// Reads the image from `source` in pieces and hands its rows over as they
// are decoded: only an interlaced image is held whole, 4 bytes a pixel.
PngRowsRead read_png_rows(ImageReader source, const PngRows& rows);

}  // namespace bitmosaic
