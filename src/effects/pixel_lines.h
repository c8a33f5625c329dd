// delv and filter: effects whose unit is the pixel line rather than the cell.
// Colours are never touched.
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

// Blanks pixel lines first, first + step, ... up to last across all 40
// columns. first and last lie in 0..199 and step is at least 1.
void run_delv(int first, int last, int step, KoalaPicture& working);

// Keeps every second multicolour pixel in a checkerboard: pixels 0 and 2 of
// each byte on even lines, pixels 1 and 3 on odd lines.
void run_filter(KoalaPicture& working);

}  // namespace bitmosaic
