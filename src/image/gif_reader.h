// Reads the first frame of a GIF image with giflib's record-by-record
// interface (the later frames of an animation are never decoded), placed on
// the image's logical screen, and hands its rows to a resampling as 8-bit
// RGB with alpha: the frame's transparent colour and the screen outside the
// frame are transparent. The screen itself is never held: rows outside the
// frame are transparent rows, a sequential frame goes row by row, and only
// an interlaced frame is held whole, one byte a pixel.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/image_reader.h"
#include "image/resample.h"

namespace bitmosaic {

// True when `file` starts with the GIF87a or GIF89a signature.
bool has_gif_signature(std::span<const std::uint8_t> file);

struct GifDecoder;  // giflib's state and the first frame's header; owned through GifReader

struct GifDecoderDeleter {
  void operator()(GifDecoder* decoder) const;
};
using GifReader = std::unique_ptr<GifDecoder, GifDecoderDeleter>;

struct GifHeader {
  bool read = false;
  int width = 0, height = 0;  // the screen, grown to hold a frame that reaches past it
  std::string problem;        // giflib's words (or ours) when the file is damaged
};

// Starts reading a GIF file from `source`, which must outlive the reader.
GifReader open_gif(ImageReader source);

// Reads the screen and the records up to the first frame's header.
GifHeader read_gif_header(GifDecoder& decoder);

// What the rows need besides the resampling: a row of the screen, and an
// interlaced frame's pixels.
std::uint64_t gif_decoding_memory(const GifDecoder& decoder);

// Decodes the first frame into `resampling`, every row of the screen in
// order; returns the problem when the file is damaged, or nothing.
std::string read_gif_rows(GifDecoder& decoder, Resampling& resampling);

}  // namespace bitmosaic
