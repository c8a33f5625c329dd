// The picture as a PNG image, so that a result can be looked at on any
// desktop without an emulator.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "picture/koala_picture.h"
#include "image/c64_palette.h"

namespace bitmosaic {

inline constexpr int kPngWidth = 320;  // each multicolour pixel two pixels wide
inline constexpr int kPngHeight = 200;

// The colour number (0..15) that the picture shows at multicolour pixel x
// (0..159) of pixel line y (0..199).
int displayed_colour(const KoalaPicture& picture, int x, int y);

// A 320 x 200 palette PNG with bit depth 4 and the 16 colours of `palette`;
// nothing when there is no memory for the compressor. The file's few chunks
// (signature, IHDR, PLTE, IDAT, IEND) are written here, the rows compressed
// with libdeflate.
std::optional<std::vector<std::uint8_t>> encode_png(const KoalaPicture& picture,
                                                    const C64Colours& palette = default_palette());

}  // namespace bitmosaic
