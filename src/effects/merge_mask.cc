#include "effects/merge_mask.h"

#include <cstdint>

namespace bitmosaic {
namespace {

bool cell_is_empty(const KoalaPicture& picture, int column, int row) {
  for (int line = 0; line < kLinesPerCell; ++line)
    if (picture[cell_byte_offset(column, row, line)] != 0) return false;
  return true;
}

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
  for (std::size_t at = kBitmapOffset; at < kBitmapOffset + kBitmapSize; ++at) {
    for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) {
      const std::uint8_t bits = pixel_mask(pixel);
      const bool mask_pixel_set = (mask[at] & bits) != 0;
      if (mask_pixel_set == settings.invert_mask)
        working[at] = static_cast<std::uint8_t>(working[at] & ~bits);
    }
  }
}

}  // namespace bitmosaic
