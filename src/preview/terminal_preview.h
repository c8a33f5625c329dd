// The picture drawn in a terminal with 24-bit colours: 100 lines of 160
// columns, each character an upper half block showing two pixel lines.
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

void print_terminal_preview(const KoalaPicture& picture);

}  // namespace bitmosaic
