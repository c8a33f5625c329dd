#include "convert/convert_picture.h"

#include <algorithm>
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

// Resampling may ring a little past black and white, and nothing that is
// not a number may reach the search: such samples are held to 0..1 (in a
// copy, only when there are any).
const LinearImage& in_range(const LinearImage& image, LinearImage& copy) {
  const auto fine = [](float v) { return v >= 0.0f && v <= 1.0f; };
  if (std::all_of(image.rgb.begin(), image.rgb.end(), fine)) return image;
  copy = image;
  for (float& v : copy.rgb) v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
  return copy;
}

}  // namespace

std::span<const DitherMode> dither_modes() { return kModes; }

ConvertedPicture convert_picture(const LinearImage& original, const C64Colours& palette,
                                 const ConvertSettings& settings) {
  LinearImage copy;
  const LinearImage& image = in_range(original, copy);
  ConversionTarget target = make_target(image, palette);
  std::vector<CellColours> cells;
  ConvertedPicture result;
  result.background = choose_colours(target, settings.background, cells);
  // The search fills its cells' free places itself, by the blurred error;
  // without dithering nothing would show them.
  if (settings.dither != Dither::none && settings.dither != Dither::search)
    fill_free_places(target, cells);
  dither_cells(target, cells, settings.dither, result.colours);
  if (settings.dither == Dither::search) {
    // The search needs neither: its memory comes on top of what is left.
    std::vector<Lab>().swap(target.lab);
    std::vector<float>().swap(target.weights);
    search_blurred_error(image, target, cells, result.colours);
  }
  result.picture =
      encode_colour_grid(result.colours, cell_masks(result.colours), result.background);
  return result;
}

}  // namespace bitmosaic
