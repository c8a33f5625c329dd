#include "preview/png_export.h"

#include <libdeflate.h>

#include <array>
#include <cstring>

namespace bitmosaic {
namespace {

// At bit depth 4 a byte holds two image pixels, the left one in the high
// four bits: exactly one multicolour pixel. Each row starts with its filter
// byte, 0 (none): for palette images filters cost time and win nothing.
constexpr std::size_t kRowBytes = 1 + kPixelColumns;
using RawRows = std::array<std::uint8_t, kRowBytes * kPngHeight>;

// Level 7 is where libdeflate's files are as small as zlib's default level
// (smaller on photographs) for well under half of zlib's instructions.
constexpr int kCompressionLevel = 7;

// Fills the rows cell by cell: a cell's four colours are looked up once,
// then each of its bitmap bytes gives four multicolour pixels.
void pack_rows(const KoalaPicture& picture, RawRows& rows) {
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column) {
      std::array<std::uint8_t, 4> doubled;  // a colour in both halves of a byte
      for (int value = 0; value < 4; ++value) {
        const int colour = pixel_colour(picture, column, row, value);
        doubled[static_cast<std::size_t>(value)] = static_cast<std::uint8_t>(colour << 4 | colour);
      }
      std::uint8_t* out = &rows[static_cast<std::size_t>(row * kLinesPerCell) * kRowBytes + 1 +
                                static_cast<std::size_t>(column * kPixelsPerByte)];
      for (int line = 0; line < kLinesPerCell; ++line, out += kRowBytes) {
        const std::uint8_t bitmap_byte = picture[cell_byte_offset(column, row, line)];
        // Written out: the compiler then needs no loop and no variable shifts.
        static_assert(kPixelsPerByte == 4);
        out[0] = doubled[static_cast<std::size_t>(pixel_value(bitmap_byte, 0))];
        out[1] = doubled[static_cast<std::size_t>(pixel_value(bitmap_byte, 1))];
        out[2] = doubled[static_cast<std::size_t>(pixel_value(bitmap_byte, 2))];
        out[3] = doubled[static_cast<std::size_t>(pixel_value(bitmap_byte, 3))];
      }
    }
  for (int y = 0; y < kPngHeight; ++y) rows[static_cast<std::size_t>(y) * kRowBytes] = 0;
}

// PNG numbers are four bytes, the most significant first.
void store_u32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.resize(out.size() + 4);
  store_u32(&out[out.size() - 4], value);
}

// A chunk: length, type, data, and the CRC of type and data.
void put_chunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data,
               std::size_t length) {
  put_u32(out, static_cast<std::uint32_t>(length));
  const std::size_t type_at = out.size();
  out.insert(out.end(), type, type + 4);
  if (length > 0) out.insert(out.end(), data, data + length);
  const std::uint32_t crc = libdeflate_crc32(0, &out[type_at], 4 + length);
  put_u32(out, crc);
}

}  // namespace

int displayed_colour(const KoalaPicture& picture, int x, int y) {
  const int column = x / kPixelsPerByte;
  const std::uint8_t bitmap_byte = picture[pixel_line_byte_offset(column, y)];
  const int value = pixel_value(bitmap_byte, x % kPixelsPerByte);
  return pixel_colour(picture, column, y / kLinesPerCell, value);
}

std::optional<std::vector<std::uint8_t>> encode_png(const KoalaPicture& picture,
                                                    const C64Colours& palette) {
  static RawRows rows;
  pack_rows(picture, rows);
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(kCompressionLevel);
  if (compressor == nullptr) return std::nullopt;

  constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> file(kSignature, kSignature + sizeof kSignature);
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor, rows.size());

  std::uint8_t header[13] = {0, 0, kPngWidth >> 8, kPngWidth & 0xFF, 0, 0, kPngHeight >> 8,
                             kPngHeight & 0xFF,
                             4,  // bit depth
                             3,  // colour type: palette
                             0, 0, 0};  // deflate, adaptive filtering, no interlace
  put_chunk(file, "IHDR", header, sizeof header);
  std::array<std::uint8_t, 3 * 16> entries;
  for (std::size_t i = 0; i < 16; ++i) {
    entries[3 * i] = palette[i].red;
    entries[3 * i + 1] = palette[i].green;
    entries[3 * i + 2] = palette[i].blue;
  }
  put_chunk(file, "PLTE", entries.data(), entries.size());

  // The rows are compressed straight to where the IDAT data belongs; the
  // length and type are filled in before them afterwards.
  const std::size_t chunk_at = file.size();
  file.resize(chunk_at + 8 + bound);
  const std::size_t compressed = libdeflate_zlib_compress(compressor, rows.data(), rows.size(),
                                                          &file[chunk_at + 8], bound);
  libdeflate_free_compressor(compressor);
  if (compressed == 0) return std::nullopt;
  file.resize(chunk_at + 8 + compressed);
  store_u32(&file[chunk_at], static_cast<std::uint32_t>(compressed));
  std::memcpy(&file[chunk_at + 4], "IDAT", 4);
  put_u32(file, libdeflate_crc32(0, &file[chunk_at + 4], 4 + compressed));
  put_chunk(file, "IEND", nullptr, 0);
  return file;
}

}  // namespace bitmosaic
