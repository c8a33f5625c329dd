#include "import/palette_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "base/colour_names.h"
#include "base/message.h"

namespace bitmosaic {
namespace {

// A colour further than this (Euclidean, in 0..255 steps) from its nearest
// colour of a palette is no colour of that palette. Neighbours in one
// palette lie 25 or more apart; artists' palettes that are close to, but
// not in, the table put colours up to about 50 from it.
constexpr double kFarDistance = 64.0;

double distance(std::uint32_t rgb, const Rgb& colour) {
  const double red = static_cast<int>(rgb >> 16) - colour.red;
  const double green = static_cast<int>((rgb >> 8) & 0xFF) - colour.green;
  const double blue = static_cast<int>(rgb & 0xFF) - colour.blue;
  return std::sqrt(red * red + green * green + blue * blue);
}

struct Nearest {
  int colour;
  double distance;
};

Nearest nearest(std::uint32_t rgb, const C64Colours& palette) {
  Nearest best{0, distance(rgb, palette[0])};
  for (int colour = 1; colour < 16; ++colour) {
    const double d = distance(rgb, palette[static_cast<std::size_t>(colour)]);
    if (d < best.distance) best = {colour, d};
  }
  return best;
}

// How `colours` fit `palette`; where they do not, what breaks the fit, told
// only for the palette chosen (choose_palette), as messages cost more than
// the matching itself.
PaletteFit fit_palette(const std::vector<ImageColour>& colours, const Palette& palette) {
  PaletteFit fit;
  fit.palette = &palette;
  std::array<int, 16> first_with = {};
  first_with.fill(-1);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const ImageColour& colour = colours[i];
    const Nearest found = nearest(colour.rgb, palette.colours);
    fit.total += found.distance;
    if (found.distance > kFarDistance) {
      fit.breaks = {PaletteFit::Break::far, i, 0, 0};
      return fit;
    }
    int& first = first_with[static_cast<std::size_t>(found.colour)];
    if (first >= 0) {
      fit.breaks = {PaletteFit::Break::shared, i, static_cast<std::size_t>(first), found.colour};
      return fit;
    }
    first = static_cast<int>(i);
    fit.numbers.push_back(static_cast<std::uint8_t>(found.colour));
    fit.farthest = std::max(fit.farthest, found.distance);
  }
  return fit;
}

std::string break_message(const PaletteFit& fit, const std::vector<ImageColour>& colours,
                          const std::string& name) {
  const ImageColour& colour = colours[fit.breaks.colour_index];
  if (fit.breaks.kind == PaletteFit::Break::far)
    return formatted("ERROR: Image '%s' has the colour #%06x at %i, %i, "
                     "which is far from every colour of palette %s.",
                     name.c_str(), colour.rgb, colour.x, colour.y, fit.palette->name);
  const ImageColour& other = colours[fit.breaks.other_index];
  const int c64 = fit.breaks.c64_colour;
  return formatted("ERROR: Image '%s' has the colours #%06x (at %i, %i) and #%06x "
                   "(at %i, %i), which both become colour %i [%s] of palette %s.",
                   name.c_str(), other.rgb, other.x, other.y, colour.rgb, colour.x, colour.y, c64,
                   colour_name(c64), fit.palette->name);
}

}  // namespace

PaletteFit choose_palette(const std::vector<ImageColour>& colours, int only,
                          const std::string& name) {
  const std::span<const Palette> palettes = c64_palettes();
  PaletteFit best;
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    if (only >= 0 && static_cast<int>(i) != only) continue;
    PaletteFit fit = fit_palette(colours, palettes[i]);
    const auto better = [&] {
      if (best.palette == nullptr) return true;
      if (fit.numbers.size() != best.numbers.size()) return fit.numbers.size() > best.numbers.size();
      return fit.total < best.total;
    };
    if (better()) best = std::move(fit);
  }
  if (best.palette != nullptr && best.breaks.kind != PaletteFit::Break::none)
    best.error = break_message(best, colours, name);
  return best;
}

}  // namespace bitmosaic
