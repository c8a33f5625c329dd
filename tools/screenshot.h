// PNG images of a Koala picture as other programs make them: 160x200,
// 320x200, or a 384x272 (PAL) or 384x247 (NTSC) emulator screenshot with
// the border, each also scaled 2x, 3x or 4x, in any palette and several PNG
// colour types. The tests import them; the benchmark times
// the import of a screenshot.
#pragma once

#include <cstdint>
#include <string>

#include "picture/koala_picture.h"
#include "image/c64_palette.h"

namespace bitmosaic {

enum class PngLayout {
  rgba,       // 8-bit RGBA, opaque, as emulators write screenshots
  rgb,        // 8-bit RGB
  rgb16,      // 16-bit RGB
  palette,    // 8-bit palette indexes
  rgba_interlaced,  // Adam7, with an alpha that varies from pixel to pixel
  rgba_unfiltered,  // as rgba, every row stored without a PNG filter
};

inline constexpr int kBorderColour = 14;  // light blue, the machine's own

// The PNG file's bytes; `width` x `height` is one of the sizes above.
std::string render_png(const KoalaPicture& picture, const C64Colours& palette, int width,
                       int height, PngLayout layout);

// Any RGB pixels (3 bytes each, row by row) as an 8-bit RGB PNG.
std::string encode_rgb_png(int width, int height, const std::string& rgb);

}  // namespace bitmosaic
