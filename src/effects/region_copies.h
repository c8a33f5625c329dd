// Copies from a second picture: whole cells (replace, insert and their v/h
// forms) or the tail of the file (colcopy). A cell always travels with its
// 8 bitmap bytes and both colour bytes.
#pragma once

#include "cli/command_settings.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// Cells x1..x2, y1..y2 of `second` replace the same cells of `working`.
void run_replace(const CommandSettings& settings, KoalaPicture& working,
                 const KoalaPicture& second);

// The rectangle x1..x2, y1..y2 of `working` is filled from `second` starting
// at its cell (0, 0).
void run_insert(const CommandSettings& settings, KoalaPicture& working,
                const KoalaPicture& second);

// Takes everything from offset 7002 to the end of the file from `second`: the
// last 1000 bitmap bytes, all colours and the background.
void run_colcopy(KoalaPicture& working, const KoalaPicture& second);

}  // namespace bitmosaic
