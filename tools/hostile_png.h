// PNG files made to cost a reader far more than their picture: compressed
// text chunks that inflate to megabytes each, image data that goes on long
// after the last row, a palette shorter than the indexes that use it,
// millions of empty chunks. The
// picture itself is a Koala picture drawn as a 160x200 image of palette
// indexes (pepto's colours), so a reader that keeps to the picture imports
// it unchanged. The tests build small ones, the benchmark the sizes that
// once took minutes, and fuzz/corpus holds small ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <zlib.h>

#include "picture/koala_picture.h"

namespace bitmosaic {

enum class TextChunk {
  compressed,     // zTXt
  international,  // iTXt, compressed
};

struct HostileForm {
  int text_chunks = 0;             // text chunks before the image data
  TextChunk text = TextChunk::compressed;
  std::size_t text_bytes = 0;      // what each of them inflates to
  std::size_t excess_bytes = 0;    // image data inflating beyond the last row
  bool cut_in_excess = false;      // the file ends inside that excess, without IEND
  int palette_colours = 16;        // PLTE entries: pepto's first colours
  std::size_t empty_chunks = 0;    // empty private chunks before the image data
};

// `value` as four bytes, high byte first, as PNG stores its numbers.
void put_u32(std::string& out, std::uint32_t value);

// Compresses `input` into `stream`'s output, ending with `flush`; returns
// what came out.
std::string deflate_piece(z_stream& stream, const std::string& input, int flush);

// A PNG chunk: its length, type, data and CRC.
std::string png_chunk(const char* type, const std::string& data);

// The picture as a PNG file, made hostile as `form` says.
std::string hostile_png(const KoalaPicture& picture, const HostileForm& form);

}  // namespace bitmosaic
