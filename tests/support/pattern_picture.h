// Pictures and comparisons shared by the tests.
#pragma once

#include <string>

#include "cli/command_settings.h"
#include "picture/koala_picture.h"

namespace bitmosaic::testing {

// Every byte non-zero, and no short shift of the picture lines up with
// itself, so a byte taken from a wrong offset or left uncleared shows.
// `seed` gives a second picture unlike the first.
KoalaPicture pattern_picture(int seed = 0);

// Settings holding the cell rectangle (or range) x1..x2, y1..y2.
CommandSettings cell_rectangle(int x1, int y1, int x2, int y2);

// "" when the pictures are equal, else the first differing offsets with
// both values, for a readable failure.
std::string differences(const KoalaPicture& expected, const KoalaPicture& actual);

}  // namespace bitmosaic::testing
