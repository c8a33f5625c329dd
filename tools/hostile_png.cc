#include "hostile_png.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "image/c64_palette.h"
#include "preview/png_export.h"

namespace bitmosaic {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 200;
// The excess is made of this many zero bytes compressed once and repeated:
// a few hundred bytes of file for each, at deflate's largest ratio.
constexpr std::size_t kExcessPiece = std::size_t{1} << 20;
// Image data is split into chunks of this size, as encoders commonly do.
constexpr std::size_t kIdatSize = 32 * 1024;



std::string zlib_compressed(const std::string& input) {
  z_stream stream{};
  if (deflateInit(&stream, 9) != Z_OK) throw std::runtime_error("deflateInit failed");
  std::string out = deflate_piece(stream, input, Z_FINISH);
  deflateEnd(&stream);
  return out;
}

std::uint32_t adler_of(std::uint32_t adler, const std::string& bytes) {
  return static_cast<std::uint32_t>(adler32(
      adler, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The zlib stream of `rows` followed by `excess` zero bytes. After a full
// flush deflate refers to nothing before it, so the compressed piece of
// zeros can be repeated as often as the excess needs; the stream ends in an
// empty final block and the checksum of everything it holds.
std::string image_stream(const std::string& rows, std::size_t excess, std::size_t* rows_end) {
  z_stream stream{};
  if (deflateInit(&stream, 9) != Z_OK) throw std::runtime_error("deflateInit failed");
  std::string out = deflate_piece(stream, rows, Z_FULL_FLUSH);
  *rows_end = out.size();
  std::uint32_t adler = adler_of(1, rows);
  const std::size_t pieces = excess / kExcessPiece;
  const std::string zeros(kExcessPiece, '\0');
  if (pieces > 0) {
    const std::string piece = deflate_piece(stream, zeros, Z_FULL_FLUSH);
    const std::uint32_t piece_adler = adler_of(1, zeros);
    for (std::size_t i = 0; i < pieces; ++i) {
      out += piece;
      adler = static_cast<std::uint32_t>(
          adler32_combine(adler, piece_adler, static_cast<z_off_t>(kExcessPiece)));
    }
  }
  if (const std::size_t rest = excess % kExcessPiece; rest > 0) {
    const std::string tail(rest, '\0');
    out += deflate_piece(stream, tail, Z_FULL_FLUSH);
    adler = adler_of(adler, tail);
  }
  deflateEnd(&stream);
  out += std::string("\x01\x00\x00\xFF\xFF", 5);  // the final block, stored and empty
  put_u32(out, adler);
  return out;
}

std::string text_chunk(TextChunk text, const std::string& compressed) {
  if (text == TextChunk::compressed)
    return png_chunk("zTXt", std::string("Comment\0\0", 9) + compressed);
  // Keyword, compressed, method 0, no language tag, no translated keyword.
  return png_chunk("iTXt", std::string("Comment\0\x01\0\0\0", 12) + compressed);
}

}  // namespace

// Compresses `input` into `stream`'s output, ending with `flush`.
std::string deflate_piece(z_stream& stream, const std::string& input, int flush) {
  std::string out;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());
  char buffer[65536];
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    if (deflate(&stream, flush) == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
    out.append(buffer, sizeof buffer - stream.avail_out);
  } while (stream.avail_out == 0 || stream.avail_in > 0);
  return out;
}

void put_u32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift);
}

std::string png_chunk(const char* type, const std::string& data) {
  std::string out;
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = type + data;
  out += body;
  put_u32(out, static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                         static_cast<uInt>(body.size()))));
  return out;
}

std::string hostile_png(const KoalaPicture& picture, const HostileForm& form) {
  std::string header;
  put_u32(header, kWidth);
  put_u32(header, kHeight);
  header += std::string("\x08\x03\x00\x00\x00", 5);  // 8-bit palette indexes, not interlaced
  std::string palette;
  for (int i = 0; i < form.palette_colours; ++i) {
    const Rgb& rgb = default_palette()[static_cast<std::size_t>(i)];
    palette += {static_cast<char>(rgb.red), static_cast<char>(rgb.green),
                static_cast<char>(rgb.blue)};
  }
  std::string rows;
  for (int y = 0; y < kHeight; ++y) {
    rows += '\0';  // no filter
    for (int x = 0; x < kWidth; ++x) rows += static_cast<char>(displayed_colour(picture, x, y));
  }

  std::string file("\x89PNG\r\n\x1a\n", 8);
  file += png_chunk("IHDR", header);
  if (form.text_chunks > 0) {
    const std::string text = zlib_compressed(std::string(form.text_bytes, ' '));
    const std::string one = text_chunk(form.text, text);
    for (int i = 0; i < form.text_chunks; ++i) file += one;
  }
  if (form.empty_chunks > 0) {
    const std::string empty = png_chunk("prVt", "");
    file.reserve(file.size() + form.empty_chunks * empty.size());
    for (std::size_t i = 0; i < form.empty_chunks; ++i) file += empty;
  }
  file += png_chunk("PLTE", palette);
  std::size_t rows_end = 0;
  const std::string stream = image_stream(rows, form.excess_bytes, &rows_end);
  // Cut half way through the excess: the rows are whole, the rest is not.
  const std::size_t kept =
      form.cut_in_excess ? rows_end + (stream.size() - rows_end) / 2 : stream.size();
  for (std::size_t at = 0; at < kept; at += kIdatSize)
    file += png_chunk("IDAT", stream.substr(at, std::min(kIdatSize, kept - at)));
  if (!form.cut_in_excess) file += png_chunk("IEND", "");
  return file;
}

}  // namespace bitmosaic
