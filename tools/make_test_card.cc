// Writes the test card to the path given as the only argument.
#include <cstdio>

#include "picture/picture_file.h"
#include "test_card.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <out.kla>\n", argv[0]);
    return 2;
  }
  const bitmosaic::KoalaPicture card = bitmosaic::make_test_card();
  if (!bitmosaic::save_file_bytes(card, argv[1])) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
