// The search that makes `convert` look like the photograph: a direct binary
// search of the blurred error (the error the eye sees, that the perceived
// error measures), that also changes the cells' colours where another set
// serves the cell and its neighbours better.
#pragma once

#include <vector>

#include "convert/conversion_target.h"

namespace bitmosaic {

// Improves `grid` (each pixel one of its cell's colours) and `cells` (the
// background stays) until the blurred error stops falling or the passes run
// out. Pixels outside keep the background.
void search_blurred_error(const LinearImage& image, const ConversionTarget& target,
                          std::vector<CellColours>& cells, ColourGrid& grid);

}  // namespace bitmosaic
