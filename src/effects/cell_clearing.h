// del and crop: blank whole character cells inside or outside a rectangle.
// Only bitmap bytes change, so a cleared cell shows the background colour.
#pragma once

#include "cli/command_settings.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// Clears the cells of columns x1..x2, rows y1..y2 (nothing when reversed).
void run_del(const CommandSettings& settings, KoalaPicture& working);

// Clears every cell outside columns x1..x2, rows y1..y2 (all when reversed).
void run_crop(const CommandSettings& settings, KoalaPicture& working);

}  // namespace bitmosaic
