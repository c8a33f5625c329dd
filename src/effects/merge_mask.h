// merge, merge+, mask and imask: combine two pictures cell by cell or pixel
// by pixel. A pixel is "set" when its two bits are not 00 (not background).
#pragma once

#include "cli/command_settings.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// Every cell of `second` with any bitmap byte set is laid over `working` with
// its colours. merge takes the cell whole; merge+ (settings.merge_plus)
// keeps the working picture's lines where the second's are empty.
void run_merge(const CommandSettings& settings, KoalaPicture& working,
               const KoalaPicture& second);

// mask clears each working pixel whose pixel in `mask` is background; imask
// (settings.invert_mask) clears each one whose mask pixel is set. Colours,
// background and load address stay.
void run_mask(const CommandSettings& settings, KoalaPicture& working,
              const KoalaPicture& mask);

}  // namespace bitmosaic
