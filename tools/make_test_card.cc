// Writes the test card, and optionally the disc picture, to the given paths.
#include <cstdio>

#include "picture/file_saving.h"
#include "test_card.h"

namespace {

bool write(const bitmosaic::KoalaPicture& picture, const char* path) {
  const bitmosaic::SaveResult saved = bitmosaic::save_file_bytes(picture, path);
  if (saved.written) return true;
  std::fprintf(stderr, "cannot write %s: %s\n", path, saved.reason.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s <card.kla> [<disc.kla>]\n", argv[0]);
    return 2;
  }
  if (!write(bitmosaic::make_test_card(), argv[1])) return 1;
  if (argc == 3 && !write(bitmosaic::make_disc(), argv[2])) return 1;
  return 0;
}
