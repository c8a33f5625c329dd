#include "effects/region_copies.h"

#include <algorithm>

namespace bitmosaic {

void run_replace(CellRectangle cells, KoalaPicture& working,
                 const KoalaPicture& second) {
  for (int row = cells.y1; row <= cells.y2; ++row)
    for (int column = cells.x1; column <= cells.x2; ++column)
      copy_cell(working, column, row, second, column, row);
}

void run_insert(CellRectangle cells, KoalaPicture& working,
                const KoalaPicture& second) {
  for (int row = cells.y1; row <= cells.y2; ++row)
    for (int column = cells.x1; column <= cells.x2; ++column)
      copy_cell(working, column, row, second, column - cells.x1, row - cells.y1);
}

void run_colcopy(KoalaPicture& working, const KoalaPicture& second) {
  // The stretch starts 1000 bytes before the screen colours, inside cell
  // row 21, and runs to the end of the file, the background byte included.
  constexpr std::size_t kColcopyOffset = kScreenColourOffset - 1000;  // 7002
  static_assert(kKoalaFileSize - kColcopyOffset == 3001);
  std::copy(second.begin() + kColcopyOffset, second.end(),
            working.begin() + kColcopyOffset);
}

}  // namespace bitmosaic
