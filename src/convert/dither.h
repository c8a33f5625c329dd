// The first picture of every mode: each pixel one of its cell's four
// colours, by the mode's rule. Nothing here looks past the cell rules: the
// colour a pixel may take is always one its cell shows.
#pragma once

#include <vector>

#include "convert/conversion_target.h"
#include "convert/convert_picture.h"

namespace bitmosaic {

// none (and search, which starts from it): the nearest colour;
// bayer2/4/8: the mix of two colours nearest to the pixel's colour, the
// threshold matrix choosing which one shows; floyd, atkinson: the nearest
// colour to the pixel's colour plus the error passed to it, passing on the
// error of the colour shown.
void dither_cells(const ConversionTarget& target, const std::vector<CellColours>& cells,
                  Dither mode, ColourGrid& grid);

}  // namespace bitmosaic
