// Brings any PNG, JPEG or GIF image in as the picture to convert: the kind
// told by content, the image decoded (a large JPEG at a reduced size, never
// below what the picture needs), turned upright by its EXIF orientation, its
// transparent pixels laid over a matte colour, and resampled in linear light
// onto the grid of hires pixels as the geometry and --scale say.
//
// Nothing an input merely claims is allocated before it is checked: a
// picture whose decoding would need more than kDecodingMemoryLimit is
// refused from its header, and a progressive JPEG ends at its
// kMostJpegScans-th scan. Nothing is printed; every message is data.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/image_geometry.h"
#include "image/image_reader.h"
#include "image/linear_image.h"
#include "preview/c64_palette.h"

namespace bitmosaic {

// What decoding one image may hold at once, the file itself not counted.
inline constexpr std::uint64_t kDecodingMemoryLimit = std::uint64_t{256} << 20;

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

// The same, with the file's bytes read as they are needed: a JPEG or GIF is
// decoded from pieces, so a photograph's file never lies whole beside the
// decoder's buffers; a PNG file is read whole (at most kDecodingMemoryLimit
// bytes), as libpng is handed it.
ImageLoad load_image_for_conversion(ImageReader file, const std::string& name, ScaleMode mode,
                                    Rgb matte);

}  // namespace bitmosaic
