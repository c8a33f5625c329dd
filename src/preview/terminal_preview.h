// The picture drawn in a terminal, each character an upper half block that
// shows two drawn pixels, one above the other, in its foreground and
// background colours.
#pragma once

#include <array>

#include "picture/koala_picture.h"
#include "image/c64_palette.h"

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
  indexed, // 16 different colours of the 256-colour palette (xterm_colours)
};

// Each drawn pixel is the colour of `palette` nearest to the average of the
// screen pixels it covers; the half blocks in UTF-8 or as the code page 437
// byte.
void print_terminal_preview(const KoalaPicture& picture, const C64Colours& palette,
                            PreviewSize size, TerminalColours colours, bool utf8);

// The 16 different colours of the 256-colour palette, from its 6x6x6 cube
// (16 to 231) and its grey ramp (232 to 255), that show the palette's 16
// colours with the least total error in CIELAB: the colours stay apart,
// where the nearest of each would make red, orange and brown one olive.
std::array<int, 16> xterm_colours(const C64Colours& palette);

}  // namespace bitmosaic
