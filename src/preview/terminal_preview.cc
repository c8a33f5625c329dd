#include "preview/terminal_preview.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "image/colour_space.h"
#include "preview/png_export.h"
#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

// Select Graphic Rendition codes: 38 the foreground, 48 the background.
constexpr int kForeground = 38;
constexpr int kBackground = 48;

int squared_distance(int red, int green, int blue, const Rgb& to) {
  const int r = red - to.red, g = green - to.green, b = blue - to.blue;
  return r * r + g * g + b * b;
}

// The colours that terminals with 256 colours share beyond the first 16
// (which each terminal sets as it likes): a 6x6x6 cube (indexes 16 to 231)
// and a ramp of 24 greys (232 to 255).
constexpr std::array<int, 6> kCubeLevels = {0, 95, 135, 175, 215, 255};
constexpr int kFirstSharedColour = 16;
constexpr int kFirstGrey = 232;
constexpr int kSharedColours = 256 - kFirstSharedColour;

Rgb xterm_rgb(int index) {
  if (index >= kFirstGrey) {
    const auto level = static_cast<std::uint8_t>(8 + 10 * (index - kFirstGrey));
    return {level, level, level};
  }
  const int cube = index - kFirstSharedColour;
  return {static_cast<std::uint8_t>(kCubeLevels[static_cast<std::size_t>(cube / 36)]),
          static_cast<std::uint8_t>(kCubeLevels[static_cast<std::size_t>(cube / 6 % 6)]),
          static_cast<std::uint8_t>(kCubeLevels[static_cast<std::size_t>(cube % 6)])};
}

// The sequence that sets a palette colour: its RGB, or the number of the
// terminal colour chosen for it, once for all 16.
struct ColourSequences {
  const C64Colours& palette;
  TerminalColours colours;
  std::array<int, 16> indexed;

  ColourSequences(const C64Colours& palette, TerminalColours colours)
      : palette(palette), colours(colours), indexed(xterm_colours(palette)) {}

  void set(int layer, int colour) const {
    const Rgb& rgb = palette[static_cast<std::size_t>(colour)];
    if (colours == TerminalColours::direct)
      std::printf("\x1b[%d;2;%d;%d;%dm", layer, rgb.red, rgb.green, rgb.blue);
    else
      std::printf("\x1b[%d;5;%dm", layer, indexed[static_cast<std::size_t>(colour)]);
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

std::array<int, 16> xterm_colours(const C64Colours& palette) {
  // An assignment problem of 16 rows and 240 columns, solved exactly by the
  // Hungarian method with potentials (rows and columns counted from 1; row
  // 0 and column 0 are the method's own): about 60,000 steps.
  constexpr int kRows = 16;
  constexpr int kColumns = kSharedColours;
  std::array<Lab, kColumns + 1> shared{};
  for (int j = 1; j <= kColumns; ++j) {
    const Rgb rgb = xterm_rgb(kFirstSharedColour + j - 1);
    shared[static_cast<std::size_t>(j)] = srgb_to_lab(rgb.red, rgb.green, rgb.blue);
  }
  std::array<Lab, kRows + 1> wanted{};
  for (int i = 1; i <= kRows; ++i) {
    const Rgb& rgb = palette[static_cast<std::size_t>(i - 1)];
    wanted[static_cast<std::size_t>(i)] = srgb_to_lab(rgb.red, rgb.green, rgb.blue);
  }
  const auto cost = [&](int i, int j) {
    return lab_distance(wanted[static_cast<std::size_t>(i)], shared[static_cast<std::size_t>(j)]);
  };
  constexpr double kNone = 1e300;
  std::array<double, kRows + 1> row_potential{};
  std::array<double, kColumns + 1> column_potential{};
  std::array<int, kColumns + 1> row_of{};  // the row a column is assigned to; 0: none
  std::array<int, kColumns + 1> way{};
  for (int i = 1; i <= kRows; ++i) {
    row_of[0] = i;
    int column = 0;
    std::array<double, kColumns + 1> least{};
    least.fill(kNone);
    std::array<bool, kColumns + 1> used{};
    do {
      used[static_cast<std::size_t>(column)] = true;
      const int row = row_of[static_cast<std::size_t>(column)];
      double delta = kNone;
      int next = 0;
      for (int j = 1; j <= kColumns; ++j) {
        const auto at = static_cast<std::size_t>(j);
        if (used[at]) continue;
        const double reduced =
            cost(row, j) - row_potential[static_cast<std::size_t>(row)] - column_potential[at];
        if (reduced < least[at]) {
          least[at] = reduced;
          way[at] = column;
        }
        if (least[at] < delta) {
          delta = least[at];
          next = j;
        }
      }
      for (int j = 0; j <= kColumns; ++j) {
        const auto at = static_cast<std::size_t>(j);
        if (used[at]) {
          row_potential[static_cast<std::size_t>(row_of[at])] += delta;
          column_potential[at] -= delta;
        } else {
          least[at] -= delta;
        }
      }
      column = next;
    } while (row_of[static_cast<std::size_t>(column)] != 0);
    do {
      const int previous = way[static_cast<std::size_t>(column)];
      row_of[static_cast<std::size_t>(column)] = row_of[static_cast<std::size_t>(previous)];
      column = previous;
    } while (column != 0);
  }
  std::array<int, 16> chosen{};
  for (int j = 1; j <= kColumns; ++j)
    if (const int row = row_of[static_cast<std::size_t>(j)]; row != 0)
      chosen[static_cast<std::size_t>(row - 1)] = kFirstSharedColour + j - 1;
  return chosen;
}

void print_terminal_preview(const KoalaPicture& picture, const C64Colours& palette,
                            PreviewSize size, TerminalColours colours, bool utf8) {
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
      put_glyph_as(kUpperHalfBlock, 1, utf8);
    }
    std::printf("\x1b[0m\n");
  }
}

}  // namespace bitmosaic
