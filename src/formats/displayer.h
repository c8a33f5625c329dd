// The displayer: a C64 program file that shows one Koala picture when it is
// loaded and RUN, and goes back to BASIC at the space bar. Its 6502 code is
// displayer.asm; its memory map is in the manual page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/koala_picture.h"

namespace bitmosaic {

// The picture as the program unpacks it, in one piece from $5800: colour
// RAM, the screen colours at the VIC's screen ($5C00), the bitmap at $6000
// and the background. The 24 bytes after colour RAM and after the screen
// colours only fill the gaps up to the next kilobyte.
inline constexpr std::uint16_t kUnpackedAddress = 0x5800;
inline constexpr std::size_t kUnpackedColourRam = 0;
inline constexpr std::size_t kUnpackedScreen = 0x400;
inline constexpr std::size_t kUnpackedBitmap = 0x800;
inline constexpr std::size_t kUnpackedBackground = kUnpackedBitmap + kBitmapSize;
inline constexpr std::size_t kUnpackedSize = kUnpackedBackground + 1;  // 10049
using UnpackedPicture = std::array<std::uint8_t, kUnpackedSize>;

// The most processor cycles the program takes from BASIC's SYS to the
// finished picture (about one second on PAL and NTSC machines alike), and
// what it takes of them besides unpacking (saving registers and zero page,
// exchanging colour RAM, showing), rounded up: the unpacking gets the rest,
// by the count of lz_unpack, and takes fewer (the displayer test holds it
// to the 6502 machine).
inline constexpr std::uint64_t kDisplayerMostCycles = 1'000'000;
inline constexpr std::uint64_t kDisplayerOtherCycles = 36'000;

// The picture's parts where the program unpacks them; colour RAM and the
// background cut to the four bits the machine keeps, each gap the 24 bytes
// before it (a cheap match).
void lay_out_unpacked(const KoalaPicture& picture, UnpackedPicture& unpacked);

// The picture that `unpacked` shows, at load address $6000.
void picture_from_unpacked(const UnpackedPicture& unpacked, KoalaPicture& picture);

// The whole .prg file for `picture`. `border` is the border colour 0..15, or
// -1 for the picture's background (the caller checks the range; only the
// low four bits are used). Each cell's colours may take other bit pairs
// than in `picture` where that packs smaller (pair_choice.h): every pixel
// shows the same colour, the bytes may differ.
std::vector<std::uint8_t> displayer_program(const KoalaPicture& picture, int border);

}  // namespace bitmosaic
