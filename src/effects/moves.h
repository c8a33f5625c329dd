// move, movev, moveh: shift the picture by whole cells.
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

// Copies every cell of `source` to (column + dx, row + dy) in `working`,
// dropping cells shifted off the picture. `working` is expected to start all
// zero, so uncovered cells stay zero (bitmap and both colours). The load
// address and background of `source` are kept: the result must still load on
// the machine and show the same background.
void run_move(int dx, int dy, KoalaPicture& working, const KoalaPicture& source);

}  // namespace bitmosaic
