// A rectangle of character cells, both corners included: columns x1..x2,
// rows y1..y2. The command line bounds every corner to the picture, but may
// give a reversed rectangle, which then holds no cell.
#pragma once

namespace bitmosaic {

struct CellRectangle {
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;

  constexpr bool contains(int column, int row) const {
    return column >= x1 && column <= x2 && row >= y1 && row <= y2;
  }
};

}  // namespace bitmosaic
