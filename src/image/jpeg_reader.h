// Reads a JPEG image with libjpeg-turbo, in steps, so that the size it will
// be decoded at and the memory that needs are settled from the header before
// any pixel is decoded: the header (with the EXIF orientation), the sizes at
// each DCT scale, the memory at the scale chosen, then the rows, handed to a
// resampling as they come.
//
// Every libjpeg error, and every warning that means corrupt data, ends the
// step with the library's words; a progressive image ends once its scans
// pass kMostJpegScans.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/image_reader.h"
#include "image/resample.h"

namespace bitmosaic {

// As libjpeg-turbo's `djpeg -maxscans` limits them: each scan of a
// progressive image may go over every coefficient again.
inline constexpr int kMostJpegScans = 100;

// The most blocks a progressive image's scans may read, each scan counting
// the blocks of the components it holds: a refinement scan costs about as
// much as any other, so a few scans over a huge image cost as much as a
// hundred over a photograph.
inline constexpr std::uint64_t kMostJpegBlockScans = 24'000'000;

struct JpegDecoder;  // libjpeg's state; owned through JpegReader

struct JpegDecoderDeleter {
  void operator()(JpegDecoder* decoder) const;
};
using JpegReader = std::unique_ptr<JpegDecoder, JpegDecoderDeleter>;

// True when `file` starts as every JPEG file starts (the SOI marker and the
// next marker's first byte).
bool has_jpeg_signature(std::span<const std::uint8_t> file);

struct JpegHeader {
  bool read = false;
  int width = 0, height = 0;  // as stored
  int orientation = 1;        // the EXIF value, 1 to 8; 1 without one
};

// Starts reading a JPEG file from `source`, in pieces: the file is never
// held whole. The first Exif segment is the only part kept.
JpegReader open_jpeg(ImageReader source);

// Reads up to the first scan. Not read: the file is damaged (jpeg_problem).
JpegHeader read_jpeg_header(JpegDecoder& decoder);

// The stored size of the image decoded at `eighths`/8 of its size (1 to 8),
// which becomes the scale the rows are decoded at; false when damaged.
bool choose_jpeg_scale(JpegDecoder& decoder, int eighths, int& width, int& height);

// What libjpeg will hold while decoding at the chosen scale: a progressive
// (or otherwise multi-scan) image's coefficients for the whole image, and the
// rows it works on; the rows handed out come on top. False when damaged.
bool jpeg_decoding_memory(JpegDecoder& decoder, std::uint64_t& memory);

enum class JpegRows { complete, damaged, too_many_scans, too_much_work };

// Decodes every row at the chosen scale into `resampling`; libjpeg may hold
// at most `memory_limit` bytes of whole-image buffers.
JpegRows read_jpeg_rows(JpegDecoder& decoder, Resampling& resampling, std::uint64_t memory_limit);

// libjpeg's words for the damage that ended the last step.
std::string jpeg_problem(const JpegDecoder& decoder);

}  // namespace bitmosaic
