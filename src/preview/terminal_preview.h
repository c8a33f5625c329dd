// The picture drawn in a terminal, each character an upper half block that
// shows two drawn pixels, one above the other, in its foreground and
// background colours.
#pragma once

#include "picture/koala_picture.h"
#include "preview/c64_palette.h"

namespace bitmosaic {

// The picture on the machine's screen is 320x200 screen pixels, 1.6:1 (a
// multicolour pixel is two screen pixels wide).
inline constexpr int kScreenWidth = 320;
inline constexpr int kScreenHeight = 200;

struct PreviewSize {
  int columns;  // drawn pixels across
  int lines;    // text lines; two drawn pixels high each
};

// The full size: one character a screen pixel across, 320 columns by 100
// lines.
inline constexpr PreviewSize kFullPreview = {kScreenWidth, kScreenHeight / 2};

// The most columns or lines a terminal is taken to have; larger sizes,
// reported or set, are held to it before any arithmetic.
inline constexpr int kLargestTerminalSide = 10000;

// The largest preview of the picture's shape that fits `columns` by `lines`
// characters (each held to 1..kLargestTerminalSide first), one line left for
// the prompt; never larger than full size.
PreviewSize fitting_preview(int columns, int lines);

enum class TerminalColours {
  direct,  // 24-bit colour sequences
  cube,    // the nearest of the 256-colour palette's 6x6x6 cube
};

// Each drawn pixel is the colour of `palette` nearest to the average of the
// screen pixels it covers.
void print_terminal_preview(const KoalaPicture& picture, const C64Colours& palette,
                            PreviewSize size, TerminalColours colours);

// The index (16 to 231) of the 256-colour cube's colour nearest to `rgb`.
int nearest_cube_colour(const Rgb& rgb);

}  // namespace bitmosaic
