// The test card: a deterministic picture the project makes itself. It uses
// all 16 colours and all four pixel values, and no two cells hold the same
// ten bytes (bitmap and both colours), so a byte taken from the wrong place
// shows in any comparison.
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

KoalaPicture make_test_card();

}  // namespace bitmosaic
