// Writes a Koala picture as a 384x272 RGBA emulator screenshot (pepto
// colours, light blue border), the benchmark's import case: with libpng's
// adaptive row filters, or with --unfiltered every row stored as it is.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "picture/koala_picture.h"
#include "screenshot.h"

int main(int argc, char** argv) {
  const bool unfiltered = argc == 4 && std::string(argv[1]) == "--unfiltered";
  if (unfiltered) ++argv;
  if (argc != 3 + (unfiltered ? 1 : 0)) {
    std::fprintf(stderr, "usage: %s [--unfiltered] <pic.kla> <shot.png>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.size() != bitmosaic::kKoalaFileSize) {
    std::fprintf(stderr, "%s: not a 10003-byte Koala picture\n", argv[1]);
    return 1;
  }
  bitmosaic::KoalaPicture picture;
  std::copy(bytes.begin(), bytes.end(), picture.begin());
  const std::string png = bitmosaic::render_png(picture, bitmosaic::default_palette(), 384, 272,
                                                unfiltered ? bitmosaic::PngLayout::rgba_unfiltered
                                                           : bitmosaic::PngLayout::rgba);
  std::ofstream out(argv[2], std::ios::binary);
  out << png;
  return out && !png.empty() ? 0 : 1;
}
