#include "preview/png_export.h"

#include <png.h>

#include <array>
#include <csetjmp>

#include "preview/c64_palette.h"

namespace bitmosaic {
namespace {

// At bit depth 4 a byte holds two image pixels, the left one in the high
// four bits: exactly one multicolour pixel.
constexpr int kRowBytes = kPixelColumns;
using PackedRows = std::array<std::array<png_byte, kRowBytes>, kPngHeight>;

void append_to_buffer(png_structp png, png_bytep data, png_size_t length) {
  auto* buffer = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  buffer->insert(buffer->end(), data, data + length);
}

void no_flush(png_structp) {}

// Kept free of C++ objects with destructors: libpng reports errors by
// jumping back to the setjmp here.
bool write_png(const PackedRows& rows, const png_color* palette,
               std::vector<std::uint8_t>* buffer) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, buffer, append_to_buffer, no_flush);
  png_set_IHDR(png, info, kPngWidth, kPngHeight, 4, PNG_COLOR_TYPE_PALETTE,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, palette, static_cast<int>(std::tuple_size_v<C64Colours>));
  png_write_info(png, info);
  for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Fills the packed rows cell by cell: a cell's four colours are looked up
// once, then each of its bitmap bytes gives four multicolour pixels.
void pack_rows(const KoalaPicture& picture, PackedRows& rows) {
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column) {
      std::array<png_byte, 4> doubled;  // a colour in both halves of a byte
      for (int value = 0; value < 4; ++value) {
        const int colour = pixel_colour(picture, column, row, value);
        doubled[value] = static_cast<png_byte>(colour << 4 | colour);
      }
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::uint8_t bitmap_byte = picture[cell_byte_offset(column, row, line)];
        png_byte* out = &rows[row * kLinesPerCell + line][column * kPixelsPerByte];
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel)
          out[pixel] = doubled[pixel_value(bitmap_byte, pixel)];
      }
    }
}

}  // namespace

int displayed_colour(const KoalaPicture& picture, int x, int y) {
  const int column = x / kPixelsPerByte;
  const std::uint8_t bitmap_byte = picture[pixel_line_byte_offset(column, y)];
  const int value = pixel_value(bitmap_byte, x % kPixelsPerByte);
  return pixel_colour(picture, column, y / kLinesPerCell, value);
}

std::optional<std::vector<std::uint8_t>> encode_png(const KoalaPicture& picture) {
  static PackedRows rows;
  pack_rows(picture, rows);
  const C64Colours& colours = default_palette();
  std::array<png_color, std::tuple_size_v<C64Colours>> palette;
  for (std::size_t i = 0; i < palette.size(); ++i)
    palette[i] = {colours[i].red, colours[i].green, colours[i].blue};
  std::vector<std::uint8_t> buffer;
  buffer.reserve(kPngHeight * (kRowBytes + 1));  // room for the rows even unpacked
  if (!write_png(rows, palette.data(), &buffer)) return std::nullopt;
  return buffer;
}

}  // namespace bitmosaic
