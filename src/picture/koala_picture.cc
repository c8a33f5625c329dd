#include "picture/koala_picture.h"

#include <algorithm>

namespace bitmosaic {

std::uint16_t load_address(const KoalaPicture& picture) {
  return static_cast<std::uint16_t>(picture[kLoadAddressOffset] |
                                    picture[kLoadAddressOffset + 1] << 8);
}

void copy_cell(KoalaPicture& to, int to_column, int to_row,
               const KoalaPicture& from, int from_column, int from_row) {
  const auto first = from.begin() + static_cast<std::ptrdiff_t>(
                                        cell_byte_offset(from_column, from_row, 0));
  std::copy(first, first + kLinesPerCell,
            to.begin() + static_cast<std::ptrdiff_t>(
                             cell_byte_offset(to_column, to_row, 0)));
  to[screen_colour_offset(to_column, to_row)] =
      from[screen_colour_offset(from_column, from_row)];
  to[colour_ram_offset(to_column, to_row)] =
      from[colour_ram_offset(from_column, from_row)];
}

void clear_cell_bitmap(KoalaPicture& picture, int column, int row) {
  const auto first = picture.begin() +
                     static_cast<std::ptrdiff_t>(cell_byte_offset(column, row, 0));
  std::fill(first, first + kLinesPerCell, std::uint8_t{0});
}

}  // namespace bitmosaic
