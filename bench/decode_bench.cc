// The benchmark's decoding step of convert on its own: brings an image file
// in as the picture to convert (decoded, turned upright and resampled onto
// the grid of hires pixels) and prints what was found and the mean linear
// light, so that the work cannot be skipped. The file is read as the
// decoding goes; with --whole it is read whole first, as for import.
//
// Usage: decode_bench [--whole] <image> [fill|fit|stretch]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/load_image.h"
#include "picture/file_reading.h"

int main(int argc, char** argv) {
  using namespace bitmosaic;
  int next = 1;
  const bool whole = argc > 1 && std::strcmp(argv[1], "--whole") == 0;
  if (whole) ++next;
  if (argc - next < 1 || argc - next > 2) {
    std::fprintf(stderr, "usage: %s [--whole] <image> [fill|fit|stretch]\n", argv[0]);
    return 2;
  }
  const char* path = argv[next];
  ScaleMode mode = ScaleMode::fill;
  if (argc - next == 2) {
    const std::string word = argv[next + 1];
    if (word == "fit")
      mode = ScaleMode::fit;
    else if (word == "stretch")
      mode = ScaleMode::stretch;
    else if (word != "fill")
      return 2;
  }
  ImageLoad load;
  if (whole) {
    std::vector<std::uint8_t> file;
    std::int64_t size = 0;
    if (load_whole_file(path, std::size_t{1} << 30, file, &size) != LoadResult::loaded) {
      std::fprintf(stderr, "decode_bench: cannot read '%s'\n", path);
      return 1;
    }
    load = load_image_for_conversion(file, path, mode, Rgb{0, 0, 0});
  } else {
    const OpenFile file = open_for_reading(path);
    if (!file) {
      std::fprintf(stderr, "decode_bench: cannot read '%s'\n", path);
      return 1;
    }
    load = load_image_for_conversion(reader_of(*file), path, mode, Rgb{0, 0, 0});
  }
  if (!load.loaded) {
    std::fprintf(stderr, "%s\n", load.error.c_str());
    return 1;
  }
  double light = 0;
  for (float value : load.image.rgb) light += value;
  std::printf("%s %s, mean light %.6f\n", load.kind, load.description.c_str(),
              light / static_cast<double>(load.image.rgb.size()));
  return 0;
}
