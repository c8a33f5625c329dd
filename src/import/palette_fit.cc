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

PaletteFit fit_palette(const std::vector<ImageColour>& colours, const Palette& palette,
                       const std::string& name) {
  PaletteFit fit;
  fit.palette = &palette;
  std::array<int, 16> first_with = {};
  first_with.fill(-1);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const ImageColour& colour = colours[i];
    const Nearest found = nearest(colour.rgb, palette.colours);
    fit.total += found.distance;
    if (found.distance > kFarDistance) {
      fit.error = formatted("ERROR: Image '%s' has the colour #%06x at %i, %i, "
                            "which is far from every colour of palette %s.",
                            name.c_str(), colour.rgb, colour.x, colour.y, palette.name);
      return fit;
    }
    int& first = first_with[static_cast<std::size_t>(found.colour)];
    if (first >= 0) {
      const ImageColour& other = colours[static_cast<std::size_t>(first)];
      fit.error = formatted("ERROR: Image '%s' has the colours #%06x (at %i, %i) and #%06x "
                            "(at %i, %i), which both become colour %i [%s] of palette %s.",
                            name.c_str(), other.rgb, other.x, other.y, colour.rgb, colour.x,
                            colour.y, found.colour, colour_name(found.colour), palette.name);
      return fit;
    }
    first = static_cast<int>(i);
    fit.numbers.push_back(static_cast<std::uint8_t>(found.colour));
    fit.farthest = std::max(fit.farthest, found.distance);
  }
  return fit;
}

}  // namespace

PaletteFit choose_palette(const std::vector<ImageColour>& colours, int only,
                          const std::string& name) {
  const std::span<const Palette> palettes = c64_palettes();
  PaletteFit best;
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    if (only >= 0 && static_cast<int>(i) != only) continue;
    PaletteFit fit = fit_palette(colours, palettes[i], name);
    const auto better = [&] {
      if (best.palette == nullptr) return true;
      if (fit.numbers.size() != best.numbers.size()) return fit.numbers.size() > best.numbers.size();
      return fit.total < best.total;
    };
    if (better()) best = std::move(fit);
  }
  return best;
}

}  // namespace bitmosaic
