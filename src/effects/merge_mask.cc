#include "effects/merge_mask.h"

#include <cstdint>
#include <cstring>

namespace bitmosaic {
namespace {

bool cell_is_empty(const KoalaPicture& picture, int column, int row) {
  for (int line = 0; line < kLinesPerCell; ++line)
    if (picture[cell_byte_offset(column, row, line)] != 0) return false;
  return true;
}

// Both bits of every pixel whose value is not 0, for a bitmap byte or for
// several bytes side by side in one word (no pixel straddles two bytes): the
// low bit of each pair is set when either bit is, then copied to the high bit
// (times 3 cannot carry into the next pair).
template <typename Bytes>
constexpr Bytes nonzero_pixels(Bytes bitmap_bytes) {
  constexpr Bytes kAllOnes = static_cast<Bytes>(~Bytes{0});
  constexpr Bytes kLowBitOfEachPixel = kAllOnes / 3;  // 0x55...
  return static_cast<Bytes>(((bitmap_bytes | bitmap_bytes >> 1) & kLowBitOfEachPixel) * 3);
}
static_assert(nonzero_pixels<std::uint8_t>(0x00) == 0x00 &&
              nonzero_pixels<std::uint8_t>(0x80) == 0xC0 &&
              nonzero_pixels<std::uint8_t>(0x41) == 0xC3 &&
              nonzero_pixels<std::uint8_t>(0x26) == 0x3F);
static_assert(nonzero_pixels<std::uint64_t>(0x0100'0000'0000'0080) == 0x0300'0000'0000'00C0);

}  // namespace

void run_merge(MergeLines lines, KoalaPicture& working, const KoalaPicture& second) {
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      if (cell_is_empty(second, column, row)) continue;
      working[screen_colour_offset(column, row)] =
          second[screen_colour_offset(column, row)];
      working[colour_ram_offset(column, row)] =
          second[colour_ram_offset(column, row)];
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::size_t at = cell_byte_offset(column, row, line);
        if (second[at] != 0 || lines == MergeLines::all) working[at] = second[at];
      }
    }
  }
}

void run_mask(MaskKeeps keeps, KoalaPicture& working, const KoalaPicture& mask) {
  // The bitmap is worked eight bytes at a time.
  using Word = std::uint64_t;
  static_assert(kBitmapSize % sizeof(Word) == 0);
  const Word flip = keeps == MaskKeeps::unset_pixels ? ~Word{0} : Word{0};
  for (std::size_t at = kBitmapOffset; at < kBitmapOffset + kBitmapSize; at += sizeof(Word)) {
    Word kept;
    Word mask_bytes;
    std::memcpy(&kept, &working[at], sizeof kept);
    std::memcpy(&mask_bytes, &mask[at], sizeof mask_bytes);
    kept &= nonzero_pixels(mask_bytes) ^ flip;
    std::memcpy(&working[at], &kept, sizeof kept);
  }
}

}  // namespace bitmosaic
