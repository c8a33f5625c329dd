// Brings any PNG, JPEG or GIF image in as the picture to convert: the kind
// told by content, the image decoded (a large JPEG at a reduced size, never
// below what the picture needs), turned upright by its EXIF orientation, its
// transparent pixels laid over a matte colour, and resampled in linear light
// onto the grid of hires pixels as the geometry and --scale say.
//
// Nothing an input merely claims is allocated before it is checked: an
// image over kLargestImageArea or kLongestImageSide, or one whose decoding
// would need more than kDecodingMemoryLimit, is refused from its header, and
// a progressive JPEG ends at its kMostJpegScans-th scan or once its scans
// have read kMostJpegBlockScans blocks. Nothing is printed; every message is
// data.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/image_geometry.h"
#include "image/image_reader.h"
#include "image/linear_image.h"
#include "image/c64_palette.h"

namespace bitmosaic {

// What decoding one image may hold at once, the file itself not counted: a
// progressive JPEG's coefficients, an interlaced image held whole.
inline constexpr std::uint64_t kDecodingMemoryLimit = std::uint64_t{96} << 20;

// The largest image taken, told from its header before anything is decoded:
// its pixels bound the time every decoder spends (the JPEG decoder's too,
// where it decodes at an eighth of the size), and its longest side the rows
// held. A 24-megapixel photograph and the widest JPEG and GIF fit.
inline constexpr std::int64_t kLargestImageArea = 32'000'000;
inline constexpr int kLongestImageSide = 65535;

struct ImageLoad {
  bool loaded = false;
  LinearImage image;           // the picture to convert, when loaded
  std::string error;           // the whole message when not, "ERROR: ..."
  const char* kind = nullptr;  // "PNG", "JPEG" or "GIF", once told
  int width = 0, height = 0;   // the image as it stands upright, once its header was read
  Placement placement;         // how it was placed on the picture
  std::string description;     // e.g. "Image 4032x3024 (scaled to fill)"
};

// `name` is the file name as messages show it; `matte` is the colour
// transparent pixels are laid over (black, or the chosen background's).
ImageLoad load_image_for_conversion(std::span<const std::uint8_t> file, const std::string& name,
                                    ScaleMode mode, Rgb matte);

// The same, with the file's bytes read as they are needed: every kind is
// decoded from pieces and its rows resampled as they come, so a
// photograph's file never lies whole beside the decoder's buffers.
ImageLoad load_image_for_conversion(ImageReader file, const std::string& name, ScaleMode mode,
                                    Rgb matte);

}  // namespace bitmosaic
