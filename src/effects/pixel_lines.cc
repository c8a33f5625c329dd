#include "effects/pixel_lines.h"

#include <cstdint>

namespace bitmosaic {

void run_delv(int first, int last, int step, KoalaPicture& working) {
  for (int y = first; y <= last; y += step)
    for (int column = 0; column < kCellColumns; ++column)
      working[pixel_line_byte_offset(column, y)] = 0;
}

void run_filter(KoalaPicture& working) {
  constexpr std::uint8_t kEvenLineMask = pixel_mask(0) | pixel_mask(2);  // 0xCC
  constexpr std::uint8_t kOddLineMask = kEvenLineMask >> 2;              // 0x33
  for (int y = 0; y < kPixelLines; ++y) {
    const std::uint8_t keep = (y % 2 == 0) ? kEvenLineMask : kOddLineMask;
    for (int column = 0; column < kCellColumns; ++column)
      working[pixel_line_byte_offset(column, y)] &= keep;
  }
}

}  // namespace bitmosaic
