// Pictures and comparisons shared by the tests.
#pragma once

#include <string>

#include "picture/koala_picture.h"

namespace bitmosaic::testing {

// Every byte non-zero, and no short shift of the picture lines up with
// itself, so a byte taken from a wrong offset or left uncleared shows.
// `seed` gives a second picture unlike the first.
KoalaPicture pattern_picture(int seed = 0);

// "" when the pictures are equal, else the first differing offsets with
// both values, for a readable failure.
std::string differences(const KoalaPicture& expected, const KoalaPicture& actual);

}  // namespace bitmosaic::testing
