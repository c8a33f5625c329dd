// The displayer: a C64 program file that shows one Koala picture when it is
// loaded and RUN, and goes back to BASIC at the space bar. Its 6502 code is
// displayer.asm; its memory map is in the manual page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/psid.h"
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

// The release program (displayer_release.asm): the displayer with a fade
// in from black and out to black, a SID tune played while the picture
// shows, or both. Its memory besides the displayer's: the VIC's bank 1 from
// kReleaseMemory (the fade's screen and tables, the copy of zero page, the
// code of a tune program at $4b00), and with a tune the RAM vectors at
// $fffa-$ffff. A tune program's code and head move to bank 1 before
// anything else, so the tune may lie over the loaded bytes. For a tune in
// bank 1 the program takes bank 2 ($8000-$bfff) instead: the same memory
// from $8000, the picture unpacked from $9800 (bitmap $a000), the screen
// colours shown at $8400, the code at $8f00.
inline constexpr std::uint16_t kReleaseMemory = 0x4000;
enum class ReleaseBank { one, two };
// What the release program with a tune takes besides unpacking before the
// picture shows (with a fade, before its first step), rounded up: the
// displayer's, moving its code, keeping zero page and finding the machine
// (up to a frame and a half); the tune's unpacking and init come on top. A
// fade's program without a tune takes less than the displayer before its
// first step (it copies colour RAM where the displayer exchanges it).
inline constexpr std::uint64_t kTuneOtherCycles = kDisplayerOtherCycles + 36'000;

// After the border colour, a tune program holds 17 bytes: load, end, init
// and play addresses (low byte first), the song init gets (start song - 1),
// how play is called on a PAL and on an NTSC machine (0 from a raster
// interrupt once a frame, 1 from CIA 1 timer A at the rate init set, else
// from timer A with that latch: a tune of the other machine at its own
// frame rate), and where the packed tune moves before it unpacks, with its
// length (0 where it stays, clear of the tune). The packed picture and the
// packed tune follow.
inline constexpr std::size_t kTuneBlock = 17;
inline constexpr std::uint16_t kRasterPlay = 0;
inline constexpr std::uint16_t kInitsTimerPlay = 1;
inline constexpr std::uint16_t kNtscFrameOnPal = 16468;  // 985248 Hz / 59.826 Hz - 1
inline constexpr std::uint16_t kPalFrameOnNtsc = 20403;  // 1022727 Hz / 50.125 Hz - 1
// The most bytes of a tune's data: what the LZ coding packs.
inline constexpr std::size_t kLongestTune = 16384;

// The code of the program with these extras (one at least); bank two
// only with a tune.
std::span<const std::uint8_t> release_code(bool fade, bool tune,
                                           ReleaseBank bank = ReleaseBank::one);

// True when a tune at load..end (inclusive) leaves the program of
// `program_size` bytes its memory at run time: the tune lies clear of
// $0000-$07ff (zero page, the stack, the KERNAL's and BASIC's pages, the text
// screen) and of the program's bank (bank 1 kReleaseMemory-$7fff, bank 2
// $8000-$bfff), and the program ends below kReleaseMemory.
bool tune_leaves_room(std::uint16_t load, std::uint16_t end, std::size_t program_size,
                      ReleaseBank bank);

// True when the packed tune of `length` bytes may be at `at` while it
// unpacks: in RAM outside the program's bank, the I/O and the vectors,
// clear of the tune.
bool stream_place_fits(unsigned at, unsigned length, std::uint16_t load, std::uint16_t end,
                       ReleaseBank bank);

// The whole release program for `picture` (border as displayer_program)
// with a fade and/or `tune` (nullptr: none); false, `program` empty, when
// the tune leaves no room in either bank (tune_leaves_room, the header's
// free pages, which must hold the bank, and kLongestTune). Bank 1 where it
// fits, else bank 2.
bool release_program(const KoalaPicture& picture, int border, bool fade, const SidTune* tune,
                     std::vector<std::uint8_t>& program);

}  // namespace bitmosaic
