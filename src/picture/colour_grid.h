// A picture as colour numbers, one a multicolour pixel, and the rule that
// turns it into a Koala picture: which colour goes into which bit pair of
// each cell. Everything that builds pictures from images goes through it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "picture/koala_picture.h"

namespace bitmosaic {

inline constexpr std::size_t kPictureArea = kPixelColumns * kPixelLines;  // 32000

using ColourGrid = std::array<std::uint8_t, kPictureArea>;  // colour numbers 0..15, row by row
using CellMasks = std::array<std::uint16_t, kCellColumns * kCellRows>;  // bit n: colour n shown

constexpr std::size_t cell_index(int column, int row) {
  return static_cast<std::size_t>(row * kCellColumns + column);
}

// How many colours a cell mask holds, without a library call on machines
// that have no population-count instruction.
constexpr int colours_in(std::uint16_t mask) {
  unsigned bits = mask;
  bits = bits - ((bits >> 1) & 0x5555u);
  bits = (bits & 0x3333u) + ((bits >> 2) & 0x3333u);
  bits = (bits + (bits >> 4)) & 0x0F0Fu;
  return static_cast<int>((bits + (bits >> 8)) & 0x1Fu);
}
static_assert(colours_in(0) == 0 && colours_in(0xFFFF) == 16 && colours_in(0x8421) == 4);

// The colours each cell of `grid` shows.
CellMasks cell_masks(const ColourGrid& grid);

// The Koala picture (load address $6000) that shows `grid`, whose cells show
// at most three colours besides `background`. Each cell's colours get the
// bit pairs 01, 10 and 11 (the screen colour's high and low four bits, the
// colour RAM): a colour keeps the bit pair it had in the cell before (in
// file order), else the one it had in the cell above, else takes the first
// free one, in colour-number order; an unused bit pair repeats the cell
// before's colour. Long runs of equal bytes are what packers need.
KoalaPicture encode_colour_grid(const ColourGrid& grid, const CellMasks& masks, int background);

}  // namespace bitmosaic
