// The 16 colours of the C64 as RGB, in the machine's colour order (black,
// white, red, cyan, purple, green, blue, yellow, orange, brown, pink, dark
// grey, grey, light green, light blue, light grey), as the common emulators,
// converters and paint programs render them. pepto, the long-standing
// reference measured from real machines, is what the previews draw with.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace bitmosaic {

struct Rgb {
  std::uint8_t red, green, blue;
};

using C64Colours = std::array<Rgb, 16>;

struct Palette {
  const char* name;
  C64Colours colours;
};

// Every palette an imported image may have been drawn with, pepto first.
std::span<const Palette> c64_palettes();

// pepto.
const C64Colours& default_palette();

// The colours of palette `index` of c64_palettes().
const C64Colours& palette_colours(int index);

}  // namespace bitmosaic
