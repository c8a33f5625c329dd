// Which colours the picture shows where: the background for the whole
// picture and three colours beside it for each cell, chosen for the least
// error without dithering. The blurred-error search refines them further.
#pragma once

#include <vector>

#include "convert/conversion_target.h"

namespace bitmosaic {

// Fills `cells` (one entry a cell, the background first) and returns the
// background: `fixed_background` when it is 0..15, else the colour that
// serves the whole picture best. Each cell takes the best three of the six
// colours most of its pixels come nearest to.
int choose_colours(const ConversionTarget& target, int fixed_background,
                   std::vector<CellColours>& cells);

// Gives the colours that would stay unused without dithering (a repeat, or
// a colour no pixel comes nearest to) a use: each takes the colour that best
// mixes with the ones the cell shows towards the cell's mean colour, so that
// a dither can make the cell's colour where its neighbours make theirs. A
// place stays as it is where no such mix comes nearer than the cell's own.
void fill_free_places(const ConversionTarget& target, std::vector<CellColours>& cells);

}  // namespace bitmosaic
