// Writes a crafted input file (tools/crafted_inputs.h) for the benchmark and
// the fuzz seeds:
//   make_crafted_input [--fuzz-seed ARGS...] <kind> [NUMBERS...] <out>
// Each kind's numbers are optional and default to the benchmark's size (see
// usage below). With --fuzz-seed the file is an input of fuzz/run_fuzzer.cc
// instead: the run's arguments ARGS, one a line (by default "convert odd.kla
// out.kla" for an image, "import odd.kla out.kla" for anything else), an
// empty line, then the file's bytes, which the fuzz target writes as odd.kla.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "crafted_inputs.h"

namespace {

struct Kind {
  const char* name;
  const char* numbers;  // what the optional numbers are, with their defaults
  bool image;           // converted, rather than imported
};

constexpr Kind kKinds[] = {
    {"arith-jpeg", "[side=65500]", true},
    {"progressive-arith-jpeg", "[side=11000 [scans=100]]", true},
    {"gif-comments", "[records=200000]", true},
    {"png-1bit", "[width=8000 [height=8000]]", true},
    {"png-wide", "[width=20000 [height=10]]", true},
    {"program-6000", "[bytes=52224]", false},
    {"exif-short", "", true},
    {"zero-kla", "", false},
    {"over-cap", "", false},
    // Plain images, for seeds.
    {"sample-png", "[width=64 [height=40]]", true},
    {"sample-png-adam7", "[width=64 [height=40]]", true},
    {"sample-jpeg", "[width=64 [height=40]]", true},
    {"sample-jpeg-progressive", "[width=64 [height=40]]", true},
    {"sample-jpeg-exif", "[width=64 [height=40 [orientation=6]]]", true},
    {"sample-gif", "[width=64 [height=40]]", true},
    {"sample-gif-interlaced", "[width=64 [height=40]]", true},
};

const Kind* kind_named(const std::string& name) {
  for (const Kind& kind : kKinds)
    if (name == kind.name) return &kind;
  return nullptr;
}

int usage(const char* name) {
  std::fprintf(stderr, "usage: %s [--fuzz-seed ARGS...] <kind> [NUMBERS...] <out>\nkinds:\n", name);
  for (const Kind& kind : kKinds)
    std::fprintf(stderr, "  %s%s%s\n", kind.name, *kind.numbers != '\0' ? " " : "", kind.numbers);
  return 2;
}

// The n-th number, or `otherwise` when fewer were given.
long long number(const std::vector<std::string>& numbers, std::size_t n, long long otherwise) {
  return n < numbers.size() ? std::strtoll(numbers[n].c_str(), nullptr, 10) : otherwise;
}

std::string crafted(const std::string& kind, const std::vector<std::string>& numbers) {
  using namespace bitmosaic;
  const auto at = [&](std::size_t n, long long otherwise) {
    return static_cast<int>(number(numbers, n, otherwise));
  };
  if (kind == "arith-jpeg") return arithmetic_zero_jpeg(at(0, 65500));
  if (kind == "progressive-arith-jpeg")
    return progressive_refinement_jpeg(at(0, 11000), at(1, 100));
  if (kind == "gif-comments") return gif_comment_flood(at(0, 200000));
  if (kind == "png-1bit") return one_bit_png(at(0, 8000), at(1, 8000));
  if (kind == "png-wide") return wide_png(at(0, 20000), at(1, 10));
  if (kind == "program-6000")
    return program_at(0x6000, static_cast<std::size_t>(number(numbers, 0, 52224)));
  if (kind == "exif-short") return jpeg_with_exif(short_exif_tiff());
  const int width = at(0, 64), height = at(1, 40);
  if (kind == "sample-png" || kind == "sample-png-adam7")
    return sample_png(width, height, kind == "sample-png-adam7");
  if (kind == "sample-jpeg" || kind == "sample-jpeg-progressive")
    return sample_jpeg(width, height, kind == "sample-jpeg-progressive");
  if (kind == "sample-jpeg-exif")
    return sample_jpeg(width, height, false, orientation_tiff(at(2, 6)));
  return sample_gif(width, height, kind == "sample-gif-interlaced");
}

}  // namespace

int main(int argc, char** argv) {
  const char* name = argv[0];
  std::vector<std::string> words(argv + 1, argv + argc);
  std::vector<std::string> run;  // the fuzz run's arguments
  bool seed = false;
  std::size_t next = 0;
  if (!words.empty() && words[0] == "--fuzz-seed") {
    seed = true;
    for (next = 1; next < words.size() && kind_named(words[next]) == nullptr; ++next)
      run.push_back(words[next]);
  }
  if (words.size() < next + 2) return usage(name);
  const Kind* kind = kind_named(words[next]);
  if (kind == nullptr) return usage(name);
  const std::vector<std::string> numbers(words.begin() + static_cast<std::ptrdiff_t>(next) + 1,
                                         words.end() - 1);
  const std::string& out = words.back();
  const bool zeros = kind->name == std::string("zero-kla") || kind->name == std::string("over-cap");
  if (zeros && (seed || !numbers.empty())) return usage(name);

  try {
    if (zeros) {
      // Written a piece at a time: 64 MiB is never held.
      std::ofstream written(out, std::ios::binary);
      const bool whole = bitmosaic::write_zeros(written, kind->name == std::string("zero-kla")
                                                             ? bitmosaic::kZeroFileSize
                                                             : bitmosaic::kOverCapFileSize);
      return whole ? 0 : 1;
    }
    const std::string file = crafted(kind->name, numbers);
    std::ofstream written(out, std::ios::binary);
    if (seed) {
      if (run.empty()) run = {kind->image ? "convert" : "import", "odd.kla", "out.kla"};
      for (const std::string& argument : run) written << argument << '\n';
      written << '\n';
    }
    written << file;
    return written ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", name, error.what());
    return 1;
  }
}
