#include "effects/cell_clearing.h"

namespace bitmosaic {

void run_del(CellRectangle cells, KoalaPicture& working) {
  for (int row = cells.y1; row <= cells.y2; ++row)
    for (int column = cells.x1; column <= cells.x2; ++column)
      clear_cell_bitmap(working, column, row);
}

void run_crop(CellRectangle cells, KoalaPicture& working) {
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column)
      if (!cells.contains(column, row)) clear_cell_bitmap(working, column, row);
}

}  // namespace bitmosaic
