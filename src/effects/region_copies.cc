#include "effects/region_copies.h"

#include <algorithm>
#include <cstdio>

namespace bitmosaic {

void run_replace(const CommandSettings& settings, KoalaPicture& working,
                 const KoalaPicture& second) {
  std::printf("Replacing (%i/%i)-(%i/%i)\n", settings.x1, settings.y1,
              settings.x2, settings.y2);
  for (int row = settings.y1; row <= settings.y2; ++row)
    for (int column = settings.x1; column <= settings.x2; ++column)
      copy_cell(working, column, row, second, column, row);
}

void run_insert(const CommandSettings& settings, KoalaPicture& working,
                const KoalaPicture& second) {
  std::printf("Inserting %i %i %i %i\n", settings.x1, settings.y1, settings.x2,
              settings.y2);
  for (int row = settings.y1; row <= settings.y2; ++row)
    for (int column = settings.x1; column <= settings.x2; ++column)
      copy_cell(working, column, row, second, column - settings.x1,
                row - settings.y1);
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
