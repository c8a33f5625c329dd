#include "report/info_report.h"

#include <cstdio>

#include "base/colour_names.h"
#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

// Glyph drawn for each two-bit pixel value; 0 shows the background as blanks.
constexpr std::uint8_t kPixelGlyphs[4] = {' ', kMediumShade, kDarkShade,
                                          kFullBlock};
constexpr int kGlyphsPerPixel = 4;  // a multicolour pixel is two screen pixels

void print_colour_line(std::uint8_t glyph, const char* format, int colour) {
  put_glyph(glyph, 2);
  std::printf(format, colour, colour_name(colour));
}

void print_box_edge(std::uint8_t left, std::uint8_t tee, std::uint8_t right) {
  std::printf("   ");
  put_glyph(left);
  put_glyph(kBoxHorizontal, 8);
  put_glyph(tee);
  put_glyph(kBoxHorizontal, 16);
  put_glyph(right);
  std::printf("\n");
}

void print_bitmap_row(std::uint8_t bitmap_byte) {
  std::printf("%02x ", bitmap_byte);
  put_glyph(kBoxVertical);
  for (int bit = 7; bit >= 0; --bit)
    std::putchar((bitmap_byte >> bit) & 1 ? '1' : '0');
  put_glyph(kBoxVertical);
  for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) {
    const std::uint8_t glyph = kPixelGlyphs[pixel_value(bitmap_byte, pixel)];
    if (glyph == ' ')
      std::printf("%*s", kGlyphsPerPixel, "");
    else
      put_glyph(glyph, kGlyphsPerPixel);
  }
  put_glyph(kBoxVertical);
  std::printf("\n");
}

void print_cell_detail(const KoalaPicture& source, int column, int row) {
  std::printf("\n");
  std::printf("Info of col %i, row %i: \n", column, row);
  // Each colour line carries the glyph that the rows below use for the pixel
  // value taking that colour.
  print_colour_line(kDarkShade, " Col-1 %2d [%s] \n",
                    pixel_colour(source, column, row, 2));
  print_colour_line(kMediumShade, " Col-2 %2d [%s] \n",
                    pixel_colour(source, column, row, 1));
  print_colour_line(kFullBlock, " Col-3 %2d [%s] \n",
                    pixel_colour(source, column, row, 3));
  print_box_edge(kBoxDownRight, kBoxDownTee, kBoxDownLeft);
  for (int line = 0; line < kLinesPerCell; ++line)
    print_bitmap_row(source[cell_byte_offset(column, row, line)]);
  print_box_edge(kBoxUpRight, kBoxUpTee, kBoxUpLeft);
}

}  // namespace

void print_info_report(const std::string& file_name, const KoalaPicture& source,
                       std::int64_t file_size, int column, int row) {
  const int background = source[kBackgroundOffset];
  std::printf("Info:\n");
  std::printf("Filename: '%s' \n", printable_name(file_name, stdout).c_str());
  std::printf("Filesize: %lld   \n", static_cast<long long>(file_size));
  std::printf("Startaddr: $%04x\n", load_address(source));
  std::printf("Background: %d [%s]\n", background, colour_name(background));
  if (column < 0) return;
  print_cell_detail(source, column, row);
}

}  // namespace bitmosaic
