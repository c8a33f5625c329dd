#include "formats/displayer.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "formats/displayer_code.h"
#include "formats/run_length.h"
#include "support/mos6502.h"
#include "support/pattern_picture.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::C64;
using Bytes = std::vector<std::uint8_t>;

// BASIC's SYS calls the code with the return address of its own next step
// on the stack. The run stops when the program returns there: it lies in
// the ROM, which the machine here cannot run.
constexpr std::uint16_t kSysReturn = 0xE147;
constexpr std::uint8_t kStackAtSys = 0xF6;

// Unpacking and showing take at most two seconds of C64 time.
constexpr std::uint64_t kShowingCycles = 2'000'000;
constexpr std::uint64_t kCycleLimit = 20'000'000;

// What the displayer may change in RAM: its memory map in the manual page.
struct Range {
  std::uint16_t first, last;
};
constexpr Range kMayChange[] = {
    {0x00C6, 0x00C6},  // the KERNAL's count of keys waiting
    {0x00FB, 0x00FE},  // the unpacker's pointers
    {0x01E0, 0x0100 + kStackAtSys},  // below the stack pointer
    {0x4000, 0x6710},  // the bitmap, the colours as unpacked
    {0x6800, 0x6BE7},  // the picture's screen colours
    {0x6C00, 0x6FE7},  // the text screen's colour RAM
};

// The SYS address of a program that is one BASIC line "SYS <address>", or
// -1.
int sys_address(const Bytes& program) {
  if (program.size() < 12 || program[0] != 0x01 || program[1] != 0x08) return -1;
  std::size_t at = 6;  // after load address, link and line number
  if (program[at++] != 0x9E) return -1;
  int address = 0;
  while (at < program.size() && program[at] >= '0' && program[at] <= '9')
    address = address * 10 + (program[at++] - '0');
  if (at + 2 >= program.size() || program[at] != 0) return -1;
  // The line's link leads to the end of the program: a link of 0.
  const std::size_t next_line = (program[2] | program[3] << 8) - 0x0801 + 2;
  if (next_line != at + 1 || program[at + 1] != 0 || program[at + 2] != 0) return -1;
  return address;
}

// The machine after a cold start, LOAD"PIC",8 and RUN, as SYS jumps to the
// code: RAM full of noise, text and colours on the text screen, two keys in
// the keyboard buffer, interrupts on.
C64 loaded_and_run(const Bytes& program) {
  C64 m = testing::cold_start();
  std::mt19937 noise(20);
  for (std::size_t at = 2; at < m.ram.size(); ++at) m.ram[at] = static_cast<std::uint8_t>(noise());
  const std::string text = "LOAD\"PIC\",8  SEARCHING FOR PIC  LOADING  READY.  RUN  ";
  for (std::size_t cell = 0; cell < 1000; ++cell) {
    m.ram[0x0400 + cell] = static_cast<std::uint8_t>(text[cell % text.size()] & 0x3F);
    m.colour_ram[cell] = static_cast<std::uint8_t>((cell * 7 + cell / 40) & 0x0F);
  }
  m.ram[0xC6] = 2;
  std::copy(program.begin() + 2, program.end(), m.ram.begin() + 0x0801);
  m.ram[0x0100 + kStackAtSys + 2] = (kSysReturn - 1) >> 8;
  m.ram[0x0100 + kStackAtSys + 1] = (kSysReturn - 1) & 0xFF;
  m.s = kStackAtSys;
  m.p = 0x20;
  m.pc = static_cast<std::uint16_t>(sys_address(program));
  return m;
}

void run_until(C64& m, const std::function<bool()>& done) {
  while (!done() && m.cycles < kCycleLimit && testing::step(m)) {
  }
}

// The picture as the VIC shows it, read through its registers; colour RAM
// and background hold four bits.
KoalaPicture what_the_vic_shows(const C64& m) {
  KoalaPicture shown{};
  const int memory = m.vic[0x18];
  const int bitmap = testing::vic_bank(m) + (memory & 0x08) * 0x400;
  const int screen = testing::vic_bank(m) + (memory >> 4) * 0x400;
  for (std::size_t i = 0; i < kBitmapSize; ++i) {
    const int byte = testing::vic_read(m, static_cast<std::uint16_t>(bitmap + i));
    if (byte < 0) ADD_FAILURE() << "the VIC sees the character ROM at bitmap byte " << i;
    shown[kBitmapOffset + i] = static_cast<std::uint8_t>(byte);
  }
  for (std::size_t i = 0; i < 1000; ++i) {
    const int byte = testing::vic_read(m, static_cast<std::uint16_t>(screen + i));
    if (byte < 0) ADD_FAILURE() << "the VIC sees the character ROM at screen byte " << i;
    shown[kScreenColourOffset + i] = static_cast<std::uint8_t>(byte);
    shown[kColourRamOffset + i] = m.colour_ram[i];
  }
  shown[kBackgroundOffset] = m.vic[0x21] & 0x0F;
  return shown;
}

KoalaPicture random_picture() {
  std::mt19937 random(64);
  KoalaPicture picture;
  for (std::uint8_t& byte : picture) byte = static_cast<std::uint8_t>(random());
  picture[0] = 0x00;
  picture[1] = 0x60;
  return picture;
}

KoalaPicture blank_picture() {
  KoalaPicture picture{};
  picture[1] = 0x60;
  return picture;
}

std::size_t gg_form_size(const KoalaPicture& picture) {
  Bytes packed;
  pack_runs(std::span(picture).subspan(kBitmapOffset),
            RunCoding{0xFE, RunOrder::value_then_count, ZeroRun::as_256}, packed);
  return 2 + packed.size();
}

TEST(DisplayerProgram, ShowsThePictureUntilSpaceThenGivesBasicItsScreenBack) {
  const struct Case {
    const char* name;
    KoalaPicture picture;
    int border;
  } cases[] = {
      {"test card", make_test_card(), -1},
      {"test card, border 5", make_test_card(), 5},
      {"random", random_picture(), -1},
      {"random, border 0", random_picture(), 0},
      {"blank (runs longer than 255)", blank_picture(), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes program = displayer_program(c.picture, c.border);
    ASSERT_GE(sys_address(program), 0x0801) << "not one line SYS <address>";
    C64 m = loaded_and_run(program);
    const C64 before = m;

    // Showing is done when the program first looks at the keyboard.
    run_until(m, [&] { return m.keyboard_reads > 0; });
    ASSERT_EQ(m.fault, "");
    EXPECT_LE(m.cycles, kShowingCycles);
    ::testing::Test::RecordProperty(std::string("cycles, ") + c.name, std::to_string(m.cycles));

    // It keeps waiting while no key is down (returning would run the ROM).
    run_until(m, [&] { return m.keyboard_reads > 200; });
    ASSERT_EQ(m.fault, "");
    EXPECT_EQ(m.vic[0x11] & 0x7F, 0x3B) << "bitmap, no extended colour, display on, 25 rows, "
                                           "y scroll 3";
    EXPECT_EQ(m.vic[0x16] & 0x1F, 0x18) << "multicolour, 40 columns, x scroll 0";
    KoalaPicture expected = c.picture;
    for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) expected[at] &= 0x0F;
    KoalaPicture shown = what_the_vic_shows(m);
    shown[0] = expected[0];
    shown[1] = expected[1];
    EXPECT_EQ("", testing::differences(expected, shown));
    EXPECT_EQ(m.vic[0x20] & 0x0F, c.border < 0 ? expected[kBackgroundOffset] : c.border);

    // Space down: it waits for the key to come up again.
    m.space_down = true;
    run_until(m, [&] { return m.keyboard_reads > 400; });
    ASSERT_EQ(m.fault, "");
    m.space_down = false;
    run_until(m, [&] { return m.pc == kSysReturn; });
    ASSERT_EQ(m.fault, "");
    ASSERT_EQ(m.pc, kSysReturn);

    EXPECT_EQ(m.s, kStackAtSys + 2) << "the return address taken off, nothing left";
    EXPECT_EQ(m.p & 0x04, 0) << "interrupts on again";
    EXPECT_EQ(m.ram[0xC6], 0) << "keyboard buffer emptied";
    EXPECT_EQ(m.vic, before.vic);
    EXPECT_EQ(m.colour_ram, before.colour_ram);
    // A port's setting is the bits it drives; the others read the lines.
    EXPECT_EQ(m.keyboard_columns & m.keyboard_columns_direction,
              before.keyboard_columns & before.keyboard_columns_direction);
    EXPECT_EQ(m.keyboard_columns_direction, before.keyboard_columns_direction);
    EXPECT_EQ(m.keyboard_rows_direction, before.keyboard_rows_direction);
    EXPECT_EQ(m.cia2_port_a & m.cia2_direction_a, before.cia2_port_a & before.cia2_direction_a);
    EXPECT_EQ(m.cia2_direction_a, before.cia2_direction_a);
    std::string changed;
    for (std::size_t at = 0; at < m.ram.size(); ++at) {
      if (m.ram[at] == before.ram[at]) continue;
      bool allowed = false;
      for (const Range& range : kMayChange) allowed |= at >= range.first && at <= range.last;
      if (!allowed && changed.size() < 200) changed += " $" + std::to_string(at);
    }
    EXPECT_EQ(changed, "") << "RAM changed outside the memory map (decimal addresses)";
  }
}

TEST(DisplayerProgram, IsAtMostTheGgFormPlus512Bytes) {
  const struct Case {
    const char* name;
    KoalaPicture picture;
  } cases[] = {{"test card", make_test_card()}, {"random", random_picture()}};
  for (const Case& c : cases) {
    const std::size_t size = displayer_program(c.picture, -1).size();
    EXPECT_LE(size, gg_form_size(c.picture) + kDisplayerOverGgForm) << c.name;
    ::testing::Test::RecordProperty(std::string("bytes, GG form, ") + c.name,
                                    std::to_string(size) + ", " +
                                        std::to_string(gg_form_size(c.picture)));
  }
  // For every picture: the escape byte is the rarest byte value, so it
  // occurs at most 10001 / 256 = 39 times and costs at most two bytes more
  // each than in the GG form. The code and the two settings must leave room
  // for that.
  EXPECT_LE(displayer_code().size() + 2, kDisplayerOverGgForm - 2 * 39);
}

}  // namespace
}  // namespace bitmosaic
