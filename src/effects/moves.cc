#include "effects/moves.h"

namespace bitmosaic {

void run_move(int dx, int dy, KoalaPicture& working, const KoalaPicture& source) {
  working[kLoadAddressOffset] = source[kLoadAddressOffset];
  working[kLoadAddressOffset + 1] = source[kLoadAddressOffset + 1];
  working[kBackgroundOffset] = source[kBackgroundOffset];
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      const int to_column = column + dx;
      const int to_row = row + dy;
      if (to_column < 0 || to_column >= kCellColumns || to_row < 0 ||
          to_row >= kCellRows)
        continue;
      copy_cell(working, to_column, to_row, source, column, row);
    }
  }
}

}  // namespace bitmosaic
