#include "import/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace bitmosaic {
namespace {

constexpr std::size_t kSignatureSize = 8;

// Everything the libpng callbacks and the jump back need, free of C++
// objects with destructors: libpng reports errors by longjmp.
struct Decoding {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t offset;
  char problem[160];
};

void read_from_memory(png_structp png, png_bytep out, png_size_t length) {
  auto* decoding = static_cast<Decoding*>(png_get_io_ptr(png));
  if (length > decoding->size - decoding->offset) png_error(png, "file ends early");
  std::memcpy(out, decoding->data + decoding->offset, length);
  decoding->offset += length;
}

void on_error(png_structp png, png_const_charp message) {
  auto* decoding = static_cast<Decoding*>(png_get_error_ptr(png));
  std::snprintf(decoding->problem, sizeof decoding->problem, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

enum class Stage { header, pixels, failed };

// Reads the header into width and height, and the pixels when the caller
// wants an image of that size. The buffers belong to the caller, so a jump
// back from libpng leaves nothing behind that is not freed.
Stage decode(Decoding& decoding, int& width, int& height, bool (*wanted)(int, int),
             std::vector<png_bytep>& rows, std::unique_ptr<std::uint8_t[]>& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &decoding, on_error, on_warning);
  if (png == nullptr) return Stage::failed;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Stage::failed;
  }
  png_set_read_fn(png, &decoding, read_from_memory);
  // Every chunk's CRC is checked; the zlib stream's own Adler-32 on top of
  // the IDAT CRCs would cost as much as inflating the image.
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  png_read_info(png, info);
  width = static_cast<int>(png_get_image_width(png, info));
  height = static_cast<int>(png_get_image_height(png, info));
  if (!wanted(width, height)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Stage::header;
  }
  png_set_expand(png);  // palette and low-depth grey to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // a fourth byte where there is no alpha
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != 4 * static_cast<std::size_t>(width))
    png_error(png, "unexpected row layout");
  const std::size_t row_bytes = 4 * static_cast<std::size_t>(width);
  pixels.reset(new std::uint8_t[row_bytes * static_cast<std::size_t>(height)]);
  rows.resize(static_cast<std::size_t>(height));
  for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = pixels.get() + row_bytes * y;
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return Stage::pixels;
}

}  // namespace

bool has_png_signature(std::span<const std::uint8_t> file) {
  return file.size() >= kSignatureSize && png_sig_cmp(file.data(), 0, kSignatureSize) == 0;
}

PngRead read_png(std::span<const std::uint8_t> file, bool (*wanted)(int width, int height)) {
  PngRead result;
  Decoding decoding{file.data(), file.size(), 0, {}};
  std::vector<png_bytep> rows;
  const Stage stage = decode(decoding, result.image.width, result.image.height, wanted, rows,
                             result.image.pixels);
  if (stage == Stage::failed)
    result.problem = decoding.problem[0] != '\0' ? decoding.problem : "out of memory";
  if (stage != Stage::pixels) result.image.pixels.reset();
  return result;
}

}  // namespace bitmosaic
