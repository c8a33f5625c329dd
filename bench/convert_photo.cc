// Converts a 320x200 photograph with convert_picture and reports what the
// conversion cost and how close it came: the perceived error, the CPU time
// of the conversion alone (best of --runs), and the peak memory of the
// process up to the end of the conversion (reading the PNG included).
// Usage: convert_photo [--palette=NAME] [--dither=MODE] [--background=N]
//                      [--runs=N] <photo.png> <picture.kla>
// Prints one line: dither, background, perceived error, CPU ms, peak KiB.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_images.h"
#include "convert/convert_picture.h"

namespace {

double cpu_ms() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

const char* mode_name(bitmosaic::Dither dither) {
  for (const bitmosaic::DitherMode& mode : bitmosaic::dither_modes())
    if (mode.dither == dither) return mode.name;
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const bitmosaic::C64Colours* palette = bench::palette_option("");
  bitmosaic::ConvertSettings settings;
  int runs = 1;
  const char* paths[2] = {nullptr, nullptr};
  int path_count = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "--palette=", 10) == 0) {
      palette = bench::palette_option(arg);
    } else if (std::strncmp(arg, "--dither=", 9) == 0) {
      bool known = false;
      for (const bitmosaic::DitherMode& mode : bitmosaic::dither_modes())
        if (std::strcmp(mode.name, arg + 9) == 0) settings.dither = mode.dither, known = true;
      if (!known) palette = nullptr;
    } else if (std::strncmp(arg, "--background=", 13) == 0) {
      settings.background = std::atoi(arg + 13);
    } else if (std::strncmp(arg, "--runs=", 7) == 0) {
      runs = std::max(1, std::atoi(arg + 7));
    } else if (path_count < 2) {
      paths[path_count++] = arg;
    } else {
      path_count = 3;
    }
  }
  if (path_count != 2 || palette == nullptr) {
    std::fprintf(stderr,
                 "usage: convert_photo [--palette=NAME] [--dither=MODE] [--background=N] "
                 "[--runs=N] <photo.png> <picture.kla>\nmodes:");
    for (const bitmosaic::DitherMode& mode : bitmosaic::dither_modes())
      std::fprintf(stderr, " %s", mode.name);
    std::fprintf(stderr, "; default %s\n", mode_name(bitmosaic::kDefaultDither));
    return 2;
  }
  const auto photo = bench::read_linear_photo(paths[0]);
  if (!photo) {
    std::fprintf(stderr, "convert_photo: %s is not a readable 320x200 PNG\n", paths[0]);
    return 1;
  }
  bitmosaic::LinearImage image;
  image.rgb = *photo;
  image.outside.assign(
      std::size_t{bitmosaic::LinearImage::kWidth} * bitmosaic::LinearImage::kHeight, 0);
  bitmosaic::ConvertedPicture converted;
  double best_ms = 1e30;
  for (int run = 0; run < runs; ++run) {
    const double start = cpu_ms();
    converted = bitmosaic::convert_picture(image, *palette, settings);
    best_ms = std::min(best_ms, cpu_ms() - start);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);  // the peak so far: reading the photograph and converting it
  std::FILE* out = std::fopen(paths[1], "wb");
  if (out == nullptr ||
      std::fwrite(converted.picture.data(), 1, converted.picture.size(), out) !=
          converted.picture.size() ||
      std::fclose(out) != 0) {
    std::fprintf(stderr, "convert_photo: cannot write %s\n", paths[1]);
    return 1;
  }
  const double error =
      bitmosaic::perceived_error(bitmosaic::shown_colours(converted.picture), *palette, image.rgb);
  std::printf("%s %d %.4f %.1f %ld\n", mode_name(settings.dither), converted.background, error,
              best_ms, usage.ru_maxrss);
  return 0;
}
