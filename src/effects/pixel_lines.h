// delv and filter: effects whose unit is the pixel line rather than the cell.
// Colours are never touched.
#pragma once

#include "cli/command_settings.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// Blanks pixel lines y1, y1 + step, ... up to y2 across all 40 columns.
void run_delv(const CommandSettings& settings, KoalaPicture& working);

// Keeps every second multicolour pixel in a checkerboard: pixels 0 and 2 of
// each byte on even lines, pixels 1 and 3 on odd lines.
void run_filter(KoalaPicture& working);

}  // namespace bitmosaic
