// Writes a Koala picture as a PNG image with libpng's default settings
// (default compression level, default filters), in the same format as
// `bitmosaic png`: 320x200, 4-bit palette, the same palette. The benchmark
// compares the size of bitmosaic's PNG against this one.
// Usage: png_reference <picture.kla> <image.png>
#include <png.h>

#include <array>
#include <cstdio>

#include "picture/koala_picture.h"
#include "image/c64_palette.h"

namespace {

// The colour of multicolour pixel (x, y), straight from the file layout.
int colour_at(const std::array<unsigned char, 10003>& p, int x, int y) {
  const int column = x / 4, row = y / 8;
  const int value = p[2 + 320 * row + 8 * column + y % 8] >> (6 - 2 * (x % 4)) & 3;
  switch (value) {
    case 0: return p[10002] & 15;
    case 1: return p[8002 + 40 * row + column] >> 4;
    case 2: return p[8002 + 40 * row + column] & 15;
    default: return p[9002 + 40 * row + column] & 15;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: png_reference <picture.kla> <image.png>\n");
    return 2;
  }
  std::array<unsigned char, 10003> picture{};
  FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr || std::fread(picture.data(), 1, picture.size(), in) != picture.size()) {
    std::fprintf(stderr, "png_reference: cannot read %s\n", argv[1]);
    return 1;
  }
  std::fclose(in);
  static std::array<std::array<png_byte, 160>, 200> rows;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 160; ++x) {
      const int colour = colour_at(picture, x, y);
      rows[y][x] = static_cast<png_byte>(colour << 4 | colour);
    }
  FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) return 1;
  png_init_io(png, out);
  png_set_IHDR(png, info, 320, 200, 4, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::array<png_color, 16> palette;
  for (int i = 0; i < 16; ++i)
    palette[i] = {bitmosaic::default_palette()[i].red, bitmosaic::default_palette()[i].green,
                  bitmosaic::default_palette()[i].blue};
  png_set_PLTE(png, info, palette.data(), 16);
  png_write_info(png, info);
  for (auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0 ? 0 : 1;
}
