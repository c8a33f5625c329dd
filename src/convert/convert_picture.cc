#include "convert/convert_picture.h"

#include <vector>

#include "convert/blur_search.h"
#include "convert/cell_colours.h"
#include "convert/conversion_target.h"
#include "convert/dither.h"

namespace bitmosaic {
namespace {

constexpr DitherMode kModes[] = {
    {"none", Dither::none},     {"bayer2", Dither::bayer2}, {"bayer4", Dither::bayer4},
    {"bayer8", Dither::bayer8}, {"floyd", Dither::floyd},   {"atkinson", Dither::atkinson},
    {"search", Dither::search},
};

}  // namespace

std::span<const DitherMode> dither_modes() { return kModes; }

ConvertedPicture convert_picture(const LinearImage& image, const C64Colours& palette,
                                 const ConvertSettings& settings) {
  const ConversionTarget target = make_target(image, palette);
  std::vector<CellColours> cells;
  ConvertedPicture result;
  result.background = choose_colours(target, settings.background, cells);
  dither_cells(target, cells, settings.dither, result.colours);
  if (settings.dither == Dither::search) search_blurred_error(image, target, cells, result.colours);
  result.picture =
      encode_colour_grid(result.colours, cell_masks(result.colours), result.background);
  return result;
}

}  // namespace bitmosaic
