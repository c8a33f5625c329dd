// What a program `export pic.prg` wrote costs the C64: the processor cycles
// from BASIC's SYS to the finished picture (the program's first look at
// the keyboard), counted in the tests' 6502 machine after a cold start.
// For bench/run.sh.
//
// Usage: displayer_cycles <program.prg>...
// Prints "<bytes> <code bytes> <cycles>" a line per program, where code
// bytes are those before the packed picture (load address, BASIC line,
// code and border colour); exits 1 when a program is not one export writes
// or does not get as far as the keyboard.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/displayer_code.h"
#include "formats/displayer_reader.h"
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
    std::printf("%zu %zu %llu\n", file.size(), bitmosaic::displayer_code().size() + 1,
                static_cast<unsigned long long>(machine.cycles));
  }
  return status;
}
