// del and crop: blank whole character cells inside or outside a rectangle.
// Only bitmap bytes change, so a cleared cell shows the background colour.
#pragma once

#include "effects/cell_rectangle.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// Clears the cells of the rectangle (nothing when it is reversed).
void run_del(CellRectangle cells, KoalaPicture& working);

// Clears every cell outside the rectangle (all when it is reversed).
void run_crop(CellRectangle cells, KoalaPicture& working);

}  // namespace bitmosaic
