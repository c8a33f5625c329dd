// What a program `export pic.prg` wrote costs the C64: the processor cycles
// from BASIC's SYS to the finished picture (the program's first look at
// the keyboard: with --fade the end of the fade-in, with --sid after the
// tune's unpacking and init), counted in the tests' 6502 machine after a
// cold start of a PAL machine. For bench/run.sh.
//
// Usage: displayer_cycles <program.prg>...
// Prints "<bytes> <code bytes> <cycles> <tune bytes>" a line per program,
// where code bytes are those before the packed picture (load address,
// BASIC line, code, border colour and a tune's head) and tune bytes the
// packed tune's after it (0 without one); exits 1 when a program is not
// one export writes or does not get as far as the keyboard.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "formats/displayer.h"
#include "formats/displayer_code.h"
#include "formats/displayer_reader.h"
#include "formats/lz_pack.h"
#include "support/mos6502.h"

namespace {

constexpr std::uint64_t kCycleLimit = 20'000'000;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <program.prg>...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int arg = 1; arg < argc; ++arg) {
    std::ifstream in(argv[arg], std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    bitmosaic::KoalaPicture picture;
    const auto read = bitmosaic::read_displayer_program(file, picture);
    bitmosaic::testing::C64 machine = bitmosaic::testing::cold_start();
    if (!read || read->kind != bitmosaic::DisplayerKind::lz ||
        !bitmosaic::testing::sys_program(machine, file)) {
      std::fprintf(stderr, "%s: not a program this build's export writes\n", argv[arg]);
      status = 1;
      continue;
    }
    while (machine.keyboard_reads == 0 && machine.cycles < kCycleLimit &&
           bitmosaic::testing::step(machine)) {
    }
    if (machine.keyboard_reads == 0) {
      std::fprintf(stderr, "%s: stopped after %llu cycles: %s\n", argv[arg],
                   static_cast<unsigned long long>(machine.cycles),
                   machine.fault.empty() ? "too many cycles" : machine.fault.c_str());
      status = 1;
      continue;
    }
    const std::size_t code =
        read->fade || read->tune
            ? bitmosaic::release_code(read->fade, read->tune).size() + 1 +
                  (read->tune ? bitmosaic::kTuneBlock : 0)
            : bitmosaic::displayer_code().size() + 1;
    bitmosaic::UnpackedPicture unpacked;
    const auto picture_stream =
        bitmosaic::lz_unpack(std::span(file).subspan(code), unpacked);
    const std::size_t tune = picture_stream ? file.size() - code - picture_stream->consumed : 0;
    std::printf("%zu %zu %llu %zu\n", file.size(), code,
                static_cast<unsigned long long>(machine.cycles), tune);
  }
  return status;
}
