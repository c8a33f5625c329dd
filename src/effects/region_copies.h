// Copies from a second picture: whole cells (replace, insert and their v/h
// forms) or the tail of the file (colcopy). A cell always travels with its
// 8 bitmap bytes and both colour bytes.
#pragma once

#include "effects/cell_rectangle.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// The cells of the rectangle in `second` replace the same cells of `working`.
void run_replace(CellRectangle cells, KoalaPicture& working,
                 const KoalaPicture& second);

// The rectangle of `working` is filled from `second` starting at its cell
// (0, 0).
void run_insert(CellRectangle cells, KoalaPicture& working,
                const KoalaPicture& second);

// Takes everything from offset 7002 to the end of the file from `second`: the
// last 1000 bitmap bytes, all colours and the background.
void run_colcopy(KoalaPicture& working, const KoalaPicture& second);

}  // namespace bitmosaic
