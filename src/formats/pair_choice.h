// Which bit pair shows which colour of a cell, chosen for the .prg
// program's packing. A cell's pixels of pair 00 show the background; those
// of 01 and 10 the screen byte's high and low four bits, those of 11 its
// colour-RAM byte. 00 stays as it is; the colours of the other pairs may
// take any of 01, 10 and 11, and a pair no pixel uses may hold any colour:
// the picture looks the same, while its bytes repeat earlier ones more
// often, which the LZ coding packs.
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

// Writes to `chosen` the picture with every pixel showing the colour it
// shows in `picture`, the pairs chosen cell by cell, in the order the
// packing meets them, for what a model of the packing makes of each cell's
// bytes after those chosen before (two pairs that show one colour become
// one). Colour RAM and the background keep four bits, the load address
// stays. False when that is `picture` itself.
bool choose_pairs(const KoalaPicture& picture, KoalaPicture& chosen);

}  // namespace bitmosaic
