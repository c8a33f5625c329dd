#include "picture/colour_grid.h"

#include <bit>
#include <vector>

namespace bitmosaic {
namespace {

// The colour in each of the bit pairs 01, 10 and 11 of a cell.
using Slots = std::array<int, 4>;  // index 0 unused: the background

Slots assign_slots(std::uint16_t shown, const Slots& before, const Slots* above) {
  Slots slots = {0, -1, -1, -1};
  std::uint16_t left = shown;
  const auto keep_from = [&](const Slots& earlier) {
    for (int slot = 1; slot <= 3; ++slot) {
      const int colour = earlier[static_cast<std::size_t>(slot)];
      if (slots[static_cast<std::size_t>(slot)] < 0 && (left >> colour & 1) != 0) {
        slots[static_cast<std::size_t>(slot)] = colour;
        left = static_cast<std::uint16_t>(left & ~(1u << colour));
      }
    }
  };
  keep_from(before);
  if (above != nullptr) keep_from(*above);
  for (; left != 0; left = static_cast<std::uint16_t>(left & (left - 1))) {
    const int colour = std::countr_zero(left);
    int slot = 1;
    while (slots[static_cast<std::size_t>(slot)] >= 0) ++slot;
    slots[static_cast<std::size_t>(slot)] = colour;
  }
  for (int slot = 1; slot <= 3; ++slot)
    if (slots[static_cast<std::size_t>(slot)] < 0)
      slots[static_cast<std::size_t>(slot)] = before[static_cast<std::size_t>(slot)];
  return slots;
}

}  // namespace

KoalaPicture encode_colour_grid(const ColourGrid& grid, const CellMasks& masks, int background) {
  KoalaPicture picture{};
  picture[kLoadAddressOffset] = kDefaultLoadAddress & 0xFF;
  picture[kLoadAddressOffset + 1] = kDefaultLoadAddress >> 8;
  picture[kBackgroundOffset] = static_cast<std::uint8_t>(background);
  std::vector<Slots> chosen(masks.size());
  Slots before = {0, 0, 0, 0};
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column) {
      const std::size_t cell = cell_index(column, row);
      const auto shown = static_cast<std::uint16_t>(masks[cell] & ~(1u << background));
      const Slots* above = row > 0 ? &chosen[cell_index(column, row - 1)] : nullptr;
      const Slots slots = assign_slots(shown, before, above);
      chosen[cell] = before = slots;
      std::array<int, 16> value_of{};  // the bit pair of each colour; background 0
      for (int slot = 3; slot >= 1; --slot)
        if ((shown >> slots[static_cast<std::size_t>(slot)] & 1) != 0)
          value_of[static_cast<std::size_t>(slots[static_cast<std::size_t>(slot)])] = slot;
      picture[screen_colour_offset(column, row)] =
          static_cast<std::uint8_t>(slots[1] << 4 | slots[2]);
      picture[colour_ram_offset(column, row)] = static_cast<std::uint8_t>(slots[3]);
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::uint8_t* colour =
            &grid[static_cast<std::size_t>((row * kLinesPerCell + line) * kPixelColumns +
                                           column * kPixelsPerByte)];
        picture[cell_byte_offset(column, row, line)] = static_cast<std::uint8_t>(
            value_of[colour[0]] << 6 | value_of[colour[1]] << 4 | value_of[colour[2]] << 2 |
            value_of[colour[3]]);
      }
    }
  return picture;
}


CellMasks cell_masks(const ColourGrid& grid) {
  CellMasks masks{};
  for (int y = 0; y < kPixelLines; ++y)
    for (int x = 0; x < kPixelColumns; ++x)
      masks[cell_index(x / kPixelsPerByte, y / kLinesPerCell)] |= static_cast<std::uint16_t>(
          1u << grid[static_cast<std::size_t>(y * kPixelColumns + x)]);
  return masks;
}

}  // namespace bitmosaic
