// How far a picture is from the image it was made from, as a viewer sees
// it: both at 320x200 in linear light (each multicolour pixel two pixels
// wide), blurred by a Gaussian of sigma 1 pixel (radius 4) for the eye's
// mixing of neighbouring pixels, then the mean CIEDE2000 difference over all
// 64,000 pixels. Lower is better. The converter is judged by it, and the
// benchmark reports it.
#pragma once

#include <span>

#include "image/linear_image.h"
#include "picture/colour_grid.h"
#include "image/c64_palette.h"

namespace bitmosaic {

// `image` holds LinearImage::kWidth x kHeight pixels of linear-light red,
// green and blue, row by row.
double perceived_error(const ColourGrid& picture, const C64Colours& palette,
                       std::span<const float> image);

// The colour numbers a Koala picture shows.
ColourGrid shown_colours(const KoalaPicture& picture);

}  // namespace bitmosaic
