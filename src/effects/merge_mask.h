// merge, merge+, mask and imask: combine two pictures cell by cell or pixel
// by pixel. A pixel is "set" when its two bits are not 00 (not background).
#pragma once

#include "picture/koala_picture.h"

namespace bitmosaic {

enum class MergeLines {
  all,            // merge: a laid-over cell brings all eight of its lines
  non_empty_only  // merge+: the working picture keeps its lines where the
                  // second picture's are empty
};

enum class MaskKeeps {
  set_pixels,   // mask: keep pixels that are set in the mask
  unset_pixels  // imask: keep pixels that are background in the mask
};

// Every cell of `second` with any bitmap byte set is laid over `working` with
// its colours.
void run_merge(MergeLines lines, KoalaPicture& working, const KoalaPicture& second);

// Clears each working pixel that the mask does not keep. Colours, background
// and load address stay.
void run_mask(MaskKeeps keeps, KoalaPicture& working, const KoalaPicture& mask);

}  // namespace bitmosaic
