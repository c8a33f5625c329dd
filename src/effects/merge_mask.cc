#include "effects/merge_mask.h"

#include <cstdint>

namespace bitmosaic {
namespace {

bool cell_is_empty(const KoalaPicture& picture, int column, int row) {
  for (int line = 0; line < kLinesPerCell; ++line)
    if (picture[cell_byte_offset(column, row, line)] != 0) return false;
  return true;
}

// Both bits of every pixel of `bitmap_byte` whose value is not 0: the low
// bit of each pair is set when either bit is, then copied to the high bit
// (times 3 cannot carry into the next pair).
constexpr std::uint8_t nonzero_pixels(std::uint8_t bitmap_byte) {
  constexpr std::uint8_t kLowBitOfEachPixel = 0x55;
  return static_cast<std::uint8_t>(((bitmap_byte | bitmap_byte >> 1) & kLowBitOfEachPixel) * 3);
}
static_assert(nonzero_pixels(0x00) == 0x00 && nonzero_pixels(0x80) == 0xC0 &&
              nonzero_pixels(0x41) == 0xC3 && nonzero_pixels(0x26) == 0x3F);

}  // namespace

void run_merge(const CommandSettings& settings, KoalaPicture& working,
               const KoalaPicture& second) {
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      if (cell_is_empty(second, column, row)) continue;
      working[screen_colour_offset(column, row)] =
          second[screen_colour_offset(column, row)];
      working[colour_ram_offset(column, row)] =
          second[colour_ram_offset(column, row)];
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::size_t at = cell_byte_offset(column, row, line);
        if (second[at] != 0 || !settings.merge_plus) working[at] = second[at];
      }
    }
  }
}

void run_mask(const CommandSettings& settings, KoalaPicture& working,
              const KoalaPicture& mask) {
  // mask keeps the pixels that are set in the mask, imask those that are not.
  const std::uint8_t flip = settings.invert_mask ? 0xFF : 0x00;
  for (std::size_t at = kBitmapOffset; at < kBitmapOffset + kBitmapSize; ++at)
    working[at] &= static_cast<std::uint8_t>(nonzero_pixels(mask[at]) ^ flip);
}

}  // namespace bitmosaic
