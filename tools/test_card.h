// The test card: a deterministic picture the project makes itself. It uses
// all 16 colours and all four pixel values, and no two cells hold the same
// ten bytes (bitmap and both colours), so a byte taken from the wrong place
// shows in any comparison.
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

KoalaPicture make_test_card();

// A second picture for the two-picture commands: a striped disc on a black
// background. Cells outside the disc are empty, so it also serves as a mask
// and as something to merge.
KoalaPicture make_disc();

}  // namespace bitmosaic
