// Matching an image's colours to the C64 palettes: which palette the image
// was drawn with, and which C64 colour each of its colours becomes. Every
// message names the image colour that breaks the match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/c64_palette.h"
#include "import/colour_census.h"

namespace bitmosaic {

// How the image's colours fit one palette: each colour's nearest colour
// of it, as long as they are near and one to one.
struct PaletteFit {
  const Palette* palette = nullptr;
  std::vector<std::uint8_t> numbers;  // the C64 colour of each image colour that fits
  double total = 0;  // the distances of those colours and of the one that does not fit
  double farthest = 0;
  // The first colour that does not fit: far from every colour, or sharing
  // its C64 colour with an earlier one.
  struct Break {
    enum Kind { none, far, shared } kind = none;
    std::size_t colour_index = 0, other_index = 0;
    int c64_colour = 0;
  } breaks;
  std::string error;  // its message, for the palette chosen; empty when all fit
};

// The palette the image was drawn with: of those that all its colours fit,
// the nearest in total. Where none fits, the one that fits the most colours
// (the nearest of those) names the colour that breaks it. `only` is a
// palette's index, or -1 for any. A picture has at most 16 colours, so no
// palette is tried beyond the 17th colour.
PaletteFit choose_palette(const std::vector<ImageColour>& colours, int only,
                          const std::string& name);

}  // namespace bitmosaic
