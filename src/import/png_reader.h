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

// The longest side of an image that any caller may want; libpng refuses a
// longer one in the header, before anything is allocated for it.
inline constexpr int kLongestPngSide = 16384;

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

}  // namespace bitmosaic
