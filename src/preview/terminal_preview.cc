#include "preview/terminal_preview.h"

#include <cstdio>

#include "preview/c64_palette.h"
#include "preview/png_export.h"
#include "report/terminal_charset.h"

namespace bitmosaic {
namespace {

// Select Graphic Rendition codes for a direct colour: 38 the foreground,
// 48 the background.
constexpr int kForeground = 38;
constexpr int kBackground = 48;

void set_colour(int layer, int colour) {
  const Rgb& rgb = default_palette()[static_cast<std::size_t>(colour)];
  std::printf("\x1b[%d;2;%d;%d;%dm", layer, rgb.red, rgb.green, rgb.blue);
}

}  // namespace

void print_terminal_preview(const KoalaPicture& picture) {
  for (int y = 0; y < kPixelLines; y += 2) {
    int foreground = -1;  // nothing set yet on this line
    int background = -1;
    for (int x = 0; x < kPixelColumns; ++x) {
      const int upper = displayed_colour(picture, x, y);
      const int lower = displayed_colour(picture, x, y + 1);
      if (upper != foreground) set_colour(kForeground, foreground = upper);
      if (lower != background) set_colour(kBackground, background = lower);
      put_glyph(kUpperHalfBlock);
    }
    std::printf("\x1b[0m\n");
  }
}

}  // namespace bitmosaic
