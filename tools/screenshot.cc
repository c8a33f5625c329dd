#include "screenshot.h"

#include <png.h>

#include <vector>

#include "preview/png_export.h"

namespace bitmosaic {
namespace {

void append(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void no_flush(png_structp) {}

// `rows` hold samples as the colour type and depth want them.
std::string encode(int width, int height, int colour_type, int depth, bool interlaced,
                   bool unfiltered, const std::vector<std::vector<png_byte>>& rows,
                   const C64Colours* palette) {
  std::string file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &file, append, no_flush);
  if (unfiltered) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
               colour_type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color colours[16];
  if (palette != nullptr) {
    for (int i = 0; i < 16; ++i)
      colours[i] = {(*palette)[static_cast<std::size_t>(i)].red,
                    (*palette)[static_cast<std::size_t>(i)].green,
                    (*palette)[static_cast<std::size_t>(i)].blue};
    png_set_PLTE(png, info, colours, 16);
  }
  png_write_info(png, info);
  std::vector<png_bytep> pointers;
  for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

}  // namespace

std::string render_png(const KoalaPicture& picture, const C64Colours& palette, int width,
                       int height, PngLayout layout) {
  // Unscaled heights are 200, 272 and 247, and no multiple up to 4x of one
  // is a multiple of another.
  const int scale = height % 200 == 0 ? height / 200 : height % 272 == 0 ? height / 272 : height / 247;
  const bool screenshot = width / scale == 384;
  const int left = screenshot ? 32 : 0;
  const int top = !screenshot ? 0 : height / scale == 272 ? 35 : 23;
  const int pixel_width = width / scale == 160 ? 1 : 2;
  const bool rgba = layout == PngLayout::rgba || layout == PngLayout::rgba_interlaced ||
                    layout == PngLayout::rgba_unfiltered;
  const int samples = layout == PngLayout::palette ? 1 : rgba ? 4 : 3;
  const int bytes = layout == PngLayout::rgb16 ? 2 : 1;
  std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    auto& row = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      const int px = (x / scale - left) / pixel_width;
      const int py = y / scale - top;
      const bool inside = x / scale >= left && py >= 0 && px < kPixelColumns && py < kPixelLines;
      const int colour = inside ? displayed_colour(picture, px, py) : kBorderColour;
      if (layout == PngLayout::palette) {
        row.push_back(static_cast<png_byte>(colour));
        continue;
      }
      const Rgb& rgb = palette[static_cast<std::size_t>(colour)];
      for (const std::uint8_t sample : {rgb.red, rgb.green, rgb.blue}) {
        row.push_back(sample);
        if (bytes == 2) row.push_back(static_cast<png_byte>(sample ^ 0x5A));  // low byte: noise
      }
      // Screenshots are opaque; the interlaced form varies its alpha, which
      // an import must ignore.
      if (samples == 4)
        row.push_back(layout == PngLayout::rgba_interlaced ? static_cast<png_byte>(x * 7) : 0xFF);
    }
  }
  const int colour_type = layout == PngLayout::palette ? PNG_COLOR_TYPE_PALETTE
                          : samples == 4              ? PNG_COLOR_TYPE_RGB_ALPHA
                                                      : PNG_COLOR_TYPE_RGB;
  return encode(width, height, colour_type, 8 * bytes, layout == PngLayout::rgba_interlaced,
                layout == PngLayout::rgba_unfiltered, rows,
                layout == PngLayout::palette ? &palette : nullptr);
}

std::string encode_rgb_png(int width, int height, const std::string& rgb) {
  std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[static_cast<std::size_t>(y)].assign(
        rgb.begin() + 3 * width * y, rgb.begin() + 3 * width * (y + 1));
  return encode(width, height, PNG_COLOR_TYPE_RGB, 8, false, false, rows, nullptr);
}

}  // namespace bitmosaic
