// The displayer: a C64 program file that shows one Koala picture when it is
// loaded and RUN, and goes back to BASIC at the space bar. Its 6502 code is
// displayer.asm; its memory map is in the manual page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/koala_picture.h"

namespace bitmosaic {

// At most this many bytes longer than the picture's packed Koala form ("GG":
// load address, then $FE-escaped runs of the 10001 bytes after it).
inline constexpr std::size_t kDisplayerOverGgForm = 512;

// The whole .prg file for `picture`. `border` is the border colour 0..15, or
// -1 for the picture's background (the caller checks the range; only the
// low four bits are used).
std::vector<std::uint8_t> displayer_program(const KoalaPicture& picture, int border);

}  // namespace bitmosaic
