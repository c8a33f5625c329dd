#include "effects/cell_clearing.h"

#include <cstdio>

namespace bitmosaic {

void run_del(const CommandSettings& settings, KoalaPicture& working) {
  std::printf("Deleting %i %i %i %i\n", settings.x1, settings.y1, settings.x2,
              settings.y2);
  for (int row = settings.y1; row <= settings.y2; ++row)
    for (int column = settings.x1; column <= settings.x2; ++column)
      clear_cell_bitmap(working, column, row);
}

void run_crop(const CommandSettings& settings, KoalaPicture& working) {
  std::printf("Cropping %i %i %i %i\n", settings.x1, settings.y1, settings.x2,
              settings.y2);
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      const bool inside = column >= settings.x1 && column <= settings.x2 &&
                          row >= settings.y1 && row <= settings.y2;
      if (!inside) clear_cell_bitmap(working, column, row);
    }
  }
}

}  // namespace bitmosaic
