// The converter's yardstick: the perceived error of a Koala picture against
// the 320x200 photograph it was made from (see src/convert/perceived_error.h),
// printed with four decimals.
// Usage: perceived_error [--palette=NAME] <picture.kla> <photo.png>
#include <cstdio>
#include <cstring>

#include "bench_images.h"

int main(int argc, char** argv) {
  const bool named = argc == 4 && std::strncmp(argv[1], "--palette=", 10) == 0;
  if (argc != 3 && !named) {
    std::fprintf(stderr, "usage: perceived_error [--palette=NAME] <picture.kla> <photo.png>\n");
    return 2;
  }
  const bitmosaic::C64Colours* palette = bench::palette_option(named ? argv[1] : "");
  const char* picture_path = argv[named ? 2 : 1];
  const char* photo_path = argv[named ? 3 : 2];
  if (palette == nullptr) {
    std::fprintf(stderr, "perceived_error: unknown palette %s\n", argv[1]);
    return 2;
  }
  const auto bytes = bench::read_bytes(picture_path);
  if (!bytes || bytes->size() != bitmosaic::kKoalaFileSize) {
    std::fprintf(stderr, "perceived_error: %s is not a 10003-byte Koala picture\n", picture_path);
    return 1;
  }
  const auto photo = bench::read_linear_photo(photo_path);
  if (!photo) {
    std::fprintf(stderr, "perceived_error: %s is not a readable 320x200 PNG\n", photo_path);
    return 1;
  }
  bitmosaic::KoalaPicture picture{};
  std::memcpy(picture.data(), bytes->data(), picture.size());
  std::printf("%.4f\n",
              bitmosaic::perceived_error(bitmosaic::shown_colours(picture), *palette, *photo));
  return 0;
}
