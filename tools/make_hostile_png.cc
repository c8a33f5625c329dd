// Writes a hostile PNG of the test card (tools/hostile_png.h) for the
// benchmark and the fuzz seeds:
//   make_hostile_png [--fuzz-seed] ztxt|itxt <chunks> <MiB each> <out>
//   make_hostile_png [--fuzz-seed] long <MiB beyond the last row> <out>
//   make_hostile_png [--fuzz-seed] palette <colours in PLTE> <out>
//   make_hostile_png [--fuzz-seed] chunks <empty chunks before the image> <out>
// With --fuzz-seed the file is an input of fuzz/run_fuzzer.cc instead: the
// arguments "import raw.png out.kla", then the PNG without its signature,
// which the fuzz target puts back in front.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "hostile_png.h"
#include "test_card.h"

namespace {

int usage(const char* name) {
  std::fprintf(stderr,
               "usage: %s [--fuzz-seed] ztxt|itxt <chunks> <MiB each> <out>\n"
               "       %s [--fuzz-seed] long <MiB beyond the last row> <out>\n"
               "       %s [--fuzz-seed] palette <colours in PLTE> <out>\n"
               "       %s [--fuzz-seed] chunks <empty chunks before the image> <out>\n",
               name, name, name, name);
  return 2;
}

std::size_t mebibytes(const char* text) { return std::strtoull(text, nullptr, 10) << 20; }

}  // namespace

int main(int argc, char** argv) {
  const char* name = argv[0];
  const bool seed = argc > 1 && std::string(argv[1]) == "--fuzz-seed";
  if (seed) {
    ++argv;
    --argc;
  }
  if (argc < 4) return usage(name);
  const std::string kind = argv[1];
  bitmosaic::HostileForm form;
  const char* out = nullptr;
  if ((kind == "ztxt" || kind == "itxt") && argc == 5) {
    form.text = kind == "ztxt" ? bitmosaic::TextChunk::compressed
                               : bitmosaic::TextChunk::international;
    form.text_chunks = std::atoi(argv[2]);
    form.text_bytes = mebibytes(argv[3]);
    out = argv[4];
  } else if (kind == "long" && argc == 4) {
    form.excess_bytes = mebibytes(argv[2]);
    out = argv[3];
  } else if (kind == "palette" && argc == 4) {
    form.palette_colours = std::atoi(argv[2]);
    if (form.palette_colours < 1 || form.palette_colours > 16) return usage(name);
    out = argv[3];
  } else if (kind == "chunks" && argc == 4) {
    form.empty_chunks = std::strtoull(argv[2], nullptr, 10);
    out = argv[3];
  } else {
    return usage(name);
  }
  std::string file = bitmosaic::hostile_png(bitmosaic::make_test_card(), form);
  if (seed) file = "import\nraw.png\nout.kla\n\n" + file.substr(8);
  std::ofstream written(out, std::ios::binary);
  written << file;
  return written ? 0 : 1;
}
