#include "formats/displayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "formats/displayer_code.h"
#include "formats/displayer_reader.h"
#include "formats/lz_pack.h"
#include "formats/run_length.h"
#include "support/mos6502.h"
#include "support/pattern_picture.h"
#include "support/written_picture.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::C64;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kCycleLimit = 20'000'000;

// What the displayer may change in RAM: its memory map in the manual page.
// The zero page it uses goes back as it was.
struct Range {
  std::uint16_t first, last;
};
constexpr Range kMayChange[] = {
    {0x00C6, 0x00C6},  // the KERNAL's count of keys waiting
    {0x01D0, 0x0100 + testing::kStackAtSys},  // below the stack pointer
    {0x5800, 0x7F40},  // the picture as unpacked, the text screen's colour RAM
};

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
  if (!testing::sys_program(m, program)) ADD_FAILURE() << "not one line SYS <address>";
  m.p = 0x20;
  return m;
}

void run_until(C64& m, const std::function<bool()>& done) {
  while (!done() && m.cycles < kCycleLimit && testing::step(m)) {
  }
}

// Runs the program from SYS to its first look at the keyboard: the picture
// is then showing.
void run_to_picture(C64& m) {
  const int reads = m.keyboard_reads;
  run_until(m, [&] { return m.keyboard_reads > reads; });
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

// Bitmap bytes of 16 values in random order: more short matches than any
// real picture has, each costing the decoder its time.
KoalaPicture short_matches_picture() {
  std::mt19937 random(16);
  KoalaPicture picture = random_picture();
  for (std::size_t at = kBitmapOffset; at < kScreenColourOffset; ++at)
    picture[at] = static_cast<std::uint8_t>(random() % 16 * 37);
  return picture;
}

// The packed bytes of a program this build writes, after its code and
// border colour.
std::span<const std::uint8_t> packed_part(const Bytes& program) {
  return std::span(program).subspan(displayer_code().size() + 1);
}

// What the decoder takes by lz_unpack's count, with the rest of the program.
std::uint64_t counted_cycles(const Bytes& program) {
  UnpackedPicture unpacked;
  const std::optional<LzUnpacked> read = lz_unpack(packed_part(program), unpacked);
  return read ? read->cycles + kDisplayerOtherCycles : 0;
}

// The program export wrote before this build: the run-length displayer.
Bytes run_length_program(const KoalaPicture& picture, std::uint8_t border) {
  Bytes data(picture.begin() + kBitmapOffset, picture.end());
  for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at)
    data[at - kBitmapOffset] &= 0x0F;
  std::array<int, 256> counts{};
  for (const std::uint8_t byte : data) ++counts[byte];
  const auto escape =
      static_cast<std::uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
  const std::span<const std::uint8_t> code = displayer_rle_code();
  Bytes program(code.begin(), code.end());
  program.push_back(escape);
  program.push_back(border);
  pack_runs(data, RunCoding{escape, RunOrder::value_then_count, ZeroRun::as_256}, program);
  return program;
}

TEST(DisplayerProgram, ShowsThePictureUntilSpaceThenGivesBasicItsScreenBackTwice) {
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
      {"short matches", short_matches_picture(), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes program = displayer_program(c.picture, c.border);
    C64 m = loaded_and_run(program);
    const C64 before = m;
    KoalaPicture expected = c.picture;
    for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) expected[at] &= 0x0F;

    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE("RUN " + std::to_string(run));
      // Showing is done when the program first looks at the keyboard.
      const std::uint64_t start = m.cycles;
      const int reads = m.keyboard_reads;
      run_to_picture(m);
      ASSERT_EQ(m.fault, "");
      const std::uint64_t cycles = m.cycles - start;
      EXPECT_LE(cycles, kDisplayerMostCycles);
      EXPECT_LE(cycles, counted_cycles(program)) << "lz_unpack counts fewer than the decoder takes";
      ::testing::Test::RecordProperty(std::string("cycles, ") + c.name, std::to_string(cycles));

      // It keeps waiting while no key is down (returning would run the ROM).
      run_until(m, [&] { return m.keyboard_reads > reads + 200; });
      ASSERT_EQ(m.fault, "");
      EXPECT_EQ(m.vic[0x11] & 0x7F, 0x3B) << "bitmap, no extended colour, display on, 25 rows, "
                                             "y scroll 3";
      EXPECT_EQ(m.vic[0x16] & 0x1F, 0x18) << "multicolour, 40 columns, x scroll 0";
      EXPECT_TRUE(testing::shows_the_same_pixels(expected, what_the_vic_shows(m)));
      EXPECT_EQ(m.vic[0x21] & 0x0F, expected[kBackgroundOffset]);
      EXPECT_EQ(m.vic[0x20] & 0x0F, c.border < 0 ? expected[kBackgroundOffset] : c.border);

      // Space down: it waits for the key to come up again.
      m.space_down = true;
      run_until(m, [&] { return m.keyboard_reads > reads + 400; });
      ASSERT_EQ(m.fault, "");
      m.space_down = false;
      run_until(m, [&] { return m.pc == testing::kSysReturn; });
      ASSERT_EQ(m.fault, "");
      ASSERT_EQ(m.pc, testing::kSysReturn);

      EXPECT_EQ(m.s, testing::kStackAtSys + 2) << "the return address taken off, nothing left";
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

      // RUN again, from the program as the first run left it in memory.
      m.ram[0x0100 + testing::kStackAtSys + 2] = (testing::kSysReturn - 1) >> 8;
      m.ram[0x0100 + testing::kStackAtSys + 1] = (testing::kSysReturn - 1) & 0xFF;
      m.s = testing::kStackAtSys;
      m.pc = before.pc;
    }
  }
}

// Data as the decoder unpacks it, for the 6502 decoder to agree with
// lz_unpack on: colour RAM nibbles (the decoder leaves only their low four
// bits to be seen, in colour RAM), the rest any bytes.
UnpackedPicture random_unpacked(unsigned seed) {
  std::mt19937 random(seed);
  UnpackedPicture data;
  for (std::uint8_t& byte : data) byte = static_cast<std::uint8_t>(random());
  return data;
}

// Like a real picture: runs, short matches near and far, long matches
// (over a page, over 256 bytes back), some noise.
UnpackedPicture picture_like_unpacked(unsigned seed) {
  std::mt19937 random(seed);
  UnpackedPicture data;
  std::size_t at = 0;
  while (at < data.size()) {
    const unsigned kind = random() % 8;
    std::size_t length = 1 + random() % (kind == 0 ? 600 : 9);
    length = std::min(length, data.size() - at);
    const std::size_t back = kind < 3 ? 1 + random() % 8 : 1 + random() % 9000;
    for (std::size_t end = at + length; at < end; ++at)
      data[at] = kind == 7 || back > at ? static_cast<std::uint8_t>(random()) : data[at - back];
  }
  return data;
}

TEST(DisplayerProgram, ItsDecoderUnpacksWhatLzUnpackReads) {
  UnpackedPicture card;
  lay_out_unpacked(make_test_card(), card);
  const struct Case {
    const char* name;
    UnpackedPicture data;
  } cases[] = {
      {"the test card", card},
      {"random bytes", random_unpacked(7)},
      {"like a picture", picture_like_unpacked(8)},
      {"like another picture", picture_like_unpacked(9)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::span<const std::uint8_t> code = displayer_code();
    Bytes program(code.begin(), code.end());
    program.push_back(14);
    lz_pack(c.data, program);
    UnpackedPicture read;
    ASSERT_TRUE(lz_unpack(packed_part(program), read));
    ASSERT_TRUE(read == c.data);
    C64 m = loaded_and_run(program);
    run_to_picture(m);
    ASSERT_EQ(m.fault, "");
    // Colour RAM's 1024 bytes went to colour RAM, in four bits.
    std::string wrong;
    for (std::size_t at = 0; at < c.data.size(); ++at) {
      const int made = at < 1024 ? m.colour_ram[at] : m.ram[kUnpackedAddress + at];
      const int expected = at < 1024 ? c.data[at] & 0x0F : c.data[at];
      if (made != expected && wrong.size() < 100) wrong += " " + std::to_string(at);
    }
    EXPECT_EQ(wrong, "") << "unpacked bytes that differ (offsets)";
  }
}

TEST(DisplayerProgram, PacksTheTestCardIntoLessThanHalfItsRunLengthProgram) {
  const std::size_t code = displayer_code().size();
  EXPECT_LE(displayer_program(make_test_card(), -1).size(), 3500u);
  EXPECT_LE(displayer_program(blank_picture(), -1).size(), code + 1 + 16);
  // Never more than the data as one literal run, its count and the end.
  EXPECT_LE(displayer_program(random_picture(), -1).size(), code + 1 + kUnpackedSize + 6);
  EXPECT_LE(code, 420u);
}

TEST(DisplayerProgram, ReadsBackTheProgramsExportWritesAndWrote) {
  const struct Case {
    const char* name;
    KoalaPicture picture;
    bool run_length;
  } cases[] = {
      {"test card", make_test_card(), false},
      {"random", random_picture(), false},
      {"blank", blank_picture(), false},
      {"test card, run-length program", make_test_card(), true},
      {"random, run-length program", random_picture(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes program =
        c.run_length ? run_length_program(c.picture, 3) : displayer_program(c.picture, 3);
    KoalaPicture read;
    const std::optional<DisplayerRead> found = read_displayer_program(program, read);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->kind, c.run_length ? DisplayerKind::run_length : DisplayerKind::lz);
    KoalaPicture expected = c.picture;
    for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) expected[at] &= 0x0F;
    EXPECT_EQ(read[0], 0x00);
    EXPECT_EQ(read[1], 0x60);
    EXPECT_EQ(read[kBackgroundOffset], expected[kBackgroundOffset]);
    EXPECT_TRUE(testing::shows_the_same_pixels(expected, read));
    // The run-length program held the picture's own bytes.
    if (c.run_length) {
      EXPECT_EQ("", testing::differences(expected, read));
    }
  }
}

TEST(DisplayerProgram, ReadsNoProgramButOurs) {
  const Bytes ours = displayer_program(make_test_card(), -1);
  const Bytes old = run_length_program(make_test_card(), 6);
  const std::size_t code = displayer_code().size();
  const auto changed = [](Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
  };
  const auto cut = [](const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  };
  const auto appended = [](Bytes bytes, std::size_t count) {
    bytes.insert(bytes.end(), count, 0);
    return bytes;
  };
  // A stream whose literal run would reach past the picture's end.
  Bytes overrun(displayer_code().begin(), displayer_code().end());
  overrun.push_back(0);
  Bytes long_run(kUnpackedSize + 1, 0x55);
  lz_pack(long_run, overrun);
  // A foreign BASIC program: 10 SYS2061, then our code.
  Bytes foreign = changed(ours, 4, 10);
  const struct Case {
    const char* name;
    Bytes file;
  } refusals[] = {
      {"empty", {}},
      {"a foreign program", foreign},
      {"another SYS address", changed(ours, 10, '2')},
      {"a changed byte of code", changed(ours, code - 20, ours[code - 20] ^ 0x01)},
      {"a changed byte of the run-length code", changed(old, 100, old[100] ^ 0x80)},
      {"cut short in the code", cut(ours, code - 1)},
      {"cut short in the packed data", cut(ours, ours.size() - 1)},
      {"cut short, run-length", cut(old, old.size() - 1)},
      {"a byte after the end code", appended(ours, 1)},
      {"a byte after the run-length data", appended(old, 1)},
      {"a border colour over 15", changed(ours, code, 16)},
      {"packed data past the picture's end", overrun},
      {"longer than fits below the picture", appended(ours, 0x5800 - 0x0801)},
  };
  for (const Case& c : refusals) {
    KoalaPicture picture;
    EXPECT_FALSE(read_displayer_program(c.file, picture)) << c.name;
  }
}

}  // namespace
}  // namespace bitmosaic
