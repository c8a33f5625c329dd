#include "preview/terminal_preview.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "preview/png_export.h"
#include "report/terminal_charset.h"

namespace bitmosaic {
namespace {

// Select Graphic Rendition codes: 38 the foreground, 48 the background.
constexpr int kForeground = 38;
constexpr int kBackground = 48;

int squared_distance(int red, int green, int blue, const Rgb& to) {
  const int r = red - to.red, g = green - to.green, b = blue - to.blue;
  return r * r + g * g + b * b;
}

// The levels of the 6x6x6 cube (indexes 16 to 231) that terminals with 256
// colours share. The grey ramp after it is left out: it is nearer to some of
// the C64's dark colours (red among them) than any cube colour, and a grey
// for red looks more wrong than a red that is a little off.
constexpr std::array<int, 6> kCubeLevels = {0, 95, 135, 175, 215, 255};
constexpr int kFirstCubeColour = 16;
constexpr int kLastCubeColour = 231;

Rgb cube_rgb(int index) {
  const int cube = index - kFirstCubeColour;
  return {static_cast<std::uint8_t>(kCubeLevels[static_cast<std::size_t>(cube / 36)]),
          static_cast<std::uint8_t>(kCubeLevels[static_cast<std::size_t>(cube / 6 % 6)]),
          static_cast<std::uint8_t>(kCubeLevels[static_cast<std::size_t>(cube % 6)])};
}

// The sequence that sets a palette colour: its RGB, or the number of its
// nearest cube colour, found once for each of the 16.
struct ColourSequences {
  const C64Colours& palette;
  TerminalColours colours;
  std::array<int, 16> cube;

  ColourSequences(const C64Colours& palette, TerminalColours colours)
      : palette(palette), colours(colours) {
    for (std::size_t colour = 0; colour < cube.size(); ++colour)
      cube[colour] = nearest_cube_colour(palette[colour]);
  }

  void set(int layer, int colour) const {
    const Rgb& rgb = palette[static_cast<std::size_t>(colour)];
    if (colours == TerminalColours::direct)
      std::printf("\x1b[%d;2;%d;%d;%dm", layer, rgb.red, rgb.green, rgb.blue);
    else
      std::printf("\x1b[%d;5;%dm", layer, cube[static_cast<std::size_t>(colour)]);
  }
};

// The palette colour of every drawn pixel, row by row: each the nearest to
// the average of the screen pixels it covers.
std::vector<std::uint8_t> drawn_pixels(const KoalaPicture& picture, const C64Colours& palette,
                                       PreviewSize size) {
  const int width = size.columns;
  const int height = 2 * size.lines;
  std::vector<std::uint8_t> drawn(static_cast<std::size_t>(width * height));
  for (int j = 0; j < height; ++j) {
    const int top = j * kScreenHeight / height;
    const int bottom = std::max(top + 1, (j + 1) * kScreenHeight / height);
    for (int i = 0; i < width; ++i) {
      const int left = i * kScreenWidth / width;
      const int right = std::max(left + 1, (i + 1) * kScreenWidth / width);
      int red = 0, green = 0, blue = 0, count = 0, first = -1;
      bool one_colour = true;
      for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
          const int colour = displayed_colour(picture, x / 2, y);
          if (first < 0) first = colour;
          one_colour = one_colour && colour == first;
          const Rgb& rgb = palette[static_cast<std::size_t>(colour)];
          red += rgb.red;
          green += rgb.green;
          blue += rgb.blue;
          ++count;
        }
      int best = first;
      if (!one_colour) {
        red = (red + count / 2) / count;
        green = (green + count / 2) / count;
        blue = (blue + count / 2) / count;
        for (int colour = 0; colour < 16; ++colour)
          if (squared_distance(red, green, blue, palette[static_cast<std::size_t>(colour)]) <
              squared_distance(red, green, blue, palette[static_cast<std::size_t>(best)]))
            best = colour;
      }
      drawn[static_cast<std::size_t>(j * width + i)] = static_cast<std::uint8_t>(best);
    }
  }
  return drawn;
}

}  // namespace

PreviewSize fitting_preview(int columns, int lines) {
  columns = std::clamp(columns, 1, kLargestTerminalSide);
  lines = std::clamp(lines, 1, kLargestTerminalSide);
  // columns / (2 * lines) = 320 / 200, so columns = 3.2 * lines.
  int drawn_lines = std::min({lines - 1, columns * 10 / 32, kFullPreview.lines});
  drawn_lines = std::max(drawn_lines, 1);
  const int drawn_columns = std::clamp((drawn_lines * 32 + 5) / 10, 1, kFullPreview.columns);
  return {drawn_columns, drawn_lines};
}

int nearest_cube_colour(const Rgb& rgb) {
  int best = kFirstCubeColour;
  for (int index = kFirstCubeColour; index <= kLastCubeColour; ++index)
    if (squared_distance(rgb.red, rgb.green, rgb.blue, cube_rgb(index)) <
        squared_distance(rgb.red, rgb.green, rgb.blue, cube_rgb(best)))
      best = index;
  return best;
}

void print_terminal_preview(const KoalaPicture& picture, const C64Colours& palette,
                            PreviewSize size, TerminalColours colours) {
  const std::vector<std::uint8_t> drawn = drawn_pixels(picture, palette, size);
  const ColourSequences sequences(palette, colours);
  const std::size_t width = static_cast<std::size_t>(size.columns);
  for (std::size_t line = 0; line < static_cast<std::size_t>(size.lines); ++line) {
    int foreground = -1;  // nothing set yet on this line
    int background = -1;
    for (std::size_t x = 0; x < width; ++x) {
      const int upper = drawn[2 * line * width + x];
      const int lower = drawn[(2 * line + 1) * width + x];
      if (upper != foreground) sequences.set(kForeground, foreground = upper);
      if (lower != background) sequences.set(kBackground, background = lower);
      put_glyph(kUpperHalfBlock);
    }
    std::printf("\x1b[0m\n");
  }
}

}  // namespace bitmosaic
