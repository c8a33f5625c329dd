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
#include "formats/format_files.h"
#include "formats/picture_formats.h"
#include "formats/psid.h"
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
C64 loaded_and_run(const Bytes& program, bool ntsc = false) {
  C64 m = testing::cold_start(ntsc);
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
      // Meanwhile the KERNAL has answered CIA 1's interrupt at READY.
      m.cia1_interrupts = 0;
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
      if (made != expected && wrong.size() < 100) {
        wrong += ' ';
        wrong += std::to_string(at);
      }
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


// The release program: a fade, a tune, both.

constexpr double kPalClock = 985248, kNtscClock = 1022727;

std::uint64_t frame_cycles(bool ntsc) {
  return ntsc ? std::uint64_t{testing::kNtscLines} * testing::kNtscLineCycles
              : std::uint64_t{testing::kPalLines} * testing::kPalLineCycles;
}

// A tune of our own that counts its play calls. At its load address L
// (init = L, play = L+$20; song at L+$38, the count at L+$39, 16 bits):
//   L      STA L+$38 / LDA #0 / STA L+$39 / STA L+$3A
//          [LDA #<latch / STA $DC04 / LDA #>latch / STA $DC05 /
//           LDA #$11 / STA $DC0E]         the CIA tune sets its rate
//          RTS
//   L+$20  INC L+$39 / BNE + / INC L+$3A / + INC $50 (zero page it owns) /
//          LDA #$0F / STA $D418 / LDA #$11 / STA $D404 (a voice on) / RTS
// in a PSID file of version 2: one song, the speed bit, the clock, the
// free pages.
constexpr std::uint16_t kTuneCiaLatch = 0x2000;

Bytes count_tune_code(std::uint16_t load, bool cia) {
  const auto lo = [](unsigned a) { return static_cast<std::uint8_t>(a & 0xFF); };
  const auto hi = [](unsigned a) { return static_cast<std::uint8_t>(a >> 8); };
  const unsigned song = load + 0x38u, count = load + 0x39u;
  Bytes code = {0x8D, lo(song), hi(song), 0xA9, 0x00, 0x8D, lo(count), hi(count),
                0x8D, lo(count + 1), hi(count + 1)};
  if (cia)
    code.insert(code.end(), {0xA9, lo(kTuneCiaLatch), 0x8D, 0x04, 0xDC, 0xA9, hi(kTuneCiaLatch),
                             0x8D, 0x05, 0xDC, 0xA9, 0x11, 0x8D, 0x0E, 0xDC});
  code.push_back(0x60);
  code.resize(0x20, 0xEA);
  code.insert(code.end(), {0xEE, lo(count), hi(count), 0xD0, 0x03, 0xEE, lo(count + 1),
                           hi(count + 1), 0xE6, 0x50, 0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x11,
                           0x8D, 0x04, 0xD4, 0x60});
  code.resize(0x40, 0);
  return code;
}

struct TuneHeader {
  std::uint16_t load = 0x2000;
  bool cia = false;
  int clock = 1;  // flags bits 2-3: 0 unknown, 1 PAL, 2 NTSC, 3 both
  std::uint8_t free_start = 0, free_pages = 0;
  const char* magic = "PSID";
  std::uint16_t play_offset = 0x20;
  int version = 2;
  unsigned flags = 0;  // more flag bits (MUS)
  std::uint8_t second_sid = 0, third_sid = 0;
  std::size_t data_size = 0x40;
};

Bytes psid_file(const TuneHeader& t) {
  Bytes file(0x7C, 0);
  std::copy_n(t.magic, 4, file.begin());
  const auto word = [&](std::size_t at, unsigned value) {
    file[at] = static_cast<std::uint8_t>(value >> 8);
    file[at + 1] = static_cast<std::uint8_t>(value);
  };
  word(0x04, static_cast<unsigned>(t.version));
  word(0x06, 0x7C);
  word(0x08, t.load);
  word(0x0C, t.play_offset == 0 ? 0u : t.load + t.play_offset);
  word(0x0E, 1);
  word(0x10, 1);
  word(0x14, t.cia ? 1u : 0u);
  word(0x76, t.flags | static_cast<unsigned>(t.clock) << 2);
  file[0x78] = t.free_start;
  file[0x79] = t.free_pages;
  file[0x7A] = t.second_sid;
  file[0x7B] = t.third_sid;
  Bytes code = count_tune_code(t.load, t.cia);
  code.resize(t.data_size, 0);
  file.insert(file.end(), code.begin(), code.end());
  return file;
}

SidTune tune_of(const Bytes& file) {
  const SidRead read = read_sid_tune(file, "count.sid");
  if (!read.read) ADD_FAILURE() << read.error;
  return read.tune;
}

Bytes release(const KoalaPicture& picture, bool fade, const SidTune* tune, int border = -1) {
  Bytes program;
  if (!release_program(picture, border, fade, tune, program)) ADD_FAILURE() << "no room";
  return program;
}

// Where fade_step starts in a fade program: its first instruction, STX
// $4A01 (the step), is found nowhere else.
std::uint16_t fade_step_address(const Bytes& program) {
  const std::array<std::uint8_t, 3> first = {0x8E, 0x01, 0x4A};
  const auto at = std::search(program.begin(), program.end(), first.begin(), first.end());
  return static_cast<std::uint16_t>(0x0801 + (at - program.begin()) - 2);
}

// Runs to `done`, noting the cycles at each entry of the fade's step.
void run_noting_steps(C64& m, std::uint16_t step_at, std::vector<std::uint64_t>& steps,
                      const std::function<bool()>& done) {
  while (!done() && m.cycles < kCycleLimit && testing::step(m))
    if (m.pc == step_at) steps.push_back(m.cycles);
}

// What RAM a release program may change: the displayer's, bank 1 from $4000
// (the fade's and the tune's memory), the tune's data, the RAM vectors
// under the KERNAL.
std::string changed_outside(const C64& m, const C64& before, const SidTune* tune,
                            unsigned moved_to = 0, unsigned moved = 0, bool bank2 = false) {
  std::string changed;
  for (std::size_t at = 0; at < m.ram.size(); ++at) {
    if (m.ram[at] == before.ram[at]) continue;
    const bool allowed = at == 0xC6 || (at >= 0x01D0 && at <= 0x0100 + testing::kStackAtSys) ||
                         (!bank2 && at >= 0x4000 && at <= 0x7F40) ||
                         (bank2 && at >= 0x8000 && at <= 0xBF40) || at >= 0xFFFA ||
                         (tune != nullptr && at >= tune->load && at <= tune->end) ||
                         (at >= moved_to && at < moved_to + moved);
    if (!allowed && changed.size() < 200) changed += " $" + std::to_string(at);
  }
  return changed;
}

TEST(ReleaseProgram, FadesInToTheExactPictureWaitsForSpaceOrFireAndFadesOutToBlack) {
  const struct Case {
    const char* name;
    KoalaPicture picture;
    int border;
    bool ntsc;
    int press;  // 0 space, 1 fire port 1, 2 fire port 2
    bool early;  // held from the start, through the fade-in
  } cases[] = {
      {"test card, PAL, space", make_test_card(), -1, false, 0, false},
      {"random, NTSC, border 5, fire 1", random_picture(), 5, true, 1, false},
      {"short matches, PAL, fire 2", short_matches_picture(), -1, false, 2, false},
      {"test card, NTSC, space held during the fade-in", make_test_card(), 14, true, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes program = release(c.picture, true, nullptr, c.border);
    EXPECT_LE(program.size(), displayer_program(c.picture, c.border).size() + 300);
    C64 m = loaded_and_run(program, c.ntsc);
    const C64 before = m;
    const auto press = [&](bool down) {
      (c.press == 0 ? m.space_down : c.press == 1 ? m.fire_port1 : m.fire_port2) = down;
    };
    if (c.early) press(true);
    KoalaPicture expected = c.picture;
    for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) expected[at] &= 0x0F;
    const int border = c.border < 0 ? expected[kBackgroundOffset] : c.border;
    const std::uint16_t step_at = fade_step_address(program);
    const double clock = c.ntsc ? kNtscClock : kPalClock;
    const std::uint64_t frame = frame_cycles(c.ntsc);

    // In: 8 steps, at most 3 frames each, within a second; then exact.
    std::vector<std::uint64_t> steps;
    run_noting_steps(m, step_at, steps, [&] { return m.keyboard_reads > 0; });
    ASSERT_EQ(m.fault, "");
    ASSERT_EQ(steps.size(), 8u);
    for (std::size_t i = 1; i < steps.size(); ++i)
      EXPECT_LE(steps[i] / frame - steps[i - 1] / frame, 3u) << "frames a step";
    EXPECT_LE(m.cycles - steps[0], 3 * frame * 8);
    EXPECT_LE(static_cast<double>(m.cycles - steps[0]), clock);
    EXPECT_LE(steps[0], kDisplayerMostCycles) << "to the first step";
    EXPECT_TRUE(testing::shows_the_same_pixels(expected, what_the_vic_shows(m)));
    EXPECT_EQ(m.vic[0x20] & 0x0F, border);
    EXPECT_EQ(m.vic[0x21] & 0x0F, expected[kBackgroundOffset]);
    EXPECT_EQ(m.vic[0x11] & 0x7F, 0x3B);

    // Exact while it waits; a key held through the fade-in counts now.
    const int reads = m.keyboard_reads;
    if (!c.early) {
      run_until(m, [&] { return m.keyboard_reads > reads + 200; });
      EXPECT_TRUE(testing::shows_the_same_pixels(expected, what_the_vic_shows(m)));
      press(true);
    }
    run_until(m, [&] { return m.keyboard_reads > reads + 400; });
    ASSERT_EQ(m.fault, "");
    EXPECT_TRUE(steps.size() == 8u) << "no step while the key is down";
    press(false);

    // Out: 8 steps to black, then the screen goes blank.
    steps.clear();
    run_noting_steps(m, step_at, steps, [&] { return (m.vic[0x11] & 0x10) == 0; });
    ASSERT_EQ(m.fault, "");
    ASSERT_EQ(steps.size(), 8u);
    for (std::size_t i = 1; i < steps.size(); ++i)
      EXPECT_LE(steps[i] / frame - steps[i - 1] / frame, 3u) << "frames a step";
    EXPECT_LE(static_cast<double>(m.cycles - steps[0]), clock);
    const KoalaPicture shown = what_the_vic_shows(m);
    EXPECT_EQ(m.vic[0x20] & 0x0F, 0);
    EXPECT_EQ(m.vic[0x21] & 0x0F, 0);
    EXPECT_TRUE(std::all_of(m.colour_ram.begin(), m.colour_ram.begin() + 1000,
                            [](std::uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(shown.begin() + kScreenColourOffset, shown.begin() + kColourRamOffset,
                            [](std::uint8_t v) { return v == 0; }));

    run_until(m, [&] { return m.pc == testing::kSysReturn; });
    ASSERT_EQ(m.fault, "");
    EXPECT_EQ(m.s, testing::kStackAtSys + 2);
    EXPECT_EQ(m.p & 0x04, 0);
    EXPECT_EQ(m.vic, before.vic);
    EXPECT_EQ(m.colour_ram, before.colour_ram);
    EXPECT_EQ(changed_outside(m, before, nullptr), "");
  }
}

// A tune program run on a machine: the picture, play's calls a second
// while it shows, and the end state after space.
struct TuneRun {
  const char* name;
  TuneHeader header;
  bool fade;
  bool ntsc;
  double calls_a_second;
};

TEST(ReleaseProgram, PlaysTheTuneAtItsRateWhileThePictureShowsAndLeavesNoTrace) {
  const double pal = kPalClock / (312 * 63), ntsc = kNtscClock / (263 * 65);
  const TuneRun runs[] = {
      {"PAL tune, PAL machine, at $2000", {.load = 0x2000}, false, false, pal},
      {"at $0C00, in the loaded bytes", {.load = 0x0C00}, false, false, pal},
      {"at $0A00 with a fade, 8 KB over all the packed bytes",
       {.load = 0x0A00, .data_size = 0x2000}, true, false, pal},
      {"in bank 1: the picture in bank 2", {.load = 0x6000}, false, false, pal},
      {"in bank 1 with a fade, NTSC, over the loaded bytes too",
       {.load = 0x0900, .data_size = 0x4000}, true, true, pal},
      {"PAL tune, NTSC machine", {.load = 0x2000}, false, true, pal},
      {"NTSC tune, NTSC machine, at $C000", {.load = 0xC000, .clock = 2}, false, true, ntsc},
      {"NTSC tune, PAL machine, under BASIC", {.load = 0xA000, .clock = 2}, false, false, ntsc},
      {"unknown clock, NTSC machine: PAL", {.load = 0x9000, .clock = 0}, false, true, pal},
      {"either clock, NTSC machine", {.load = 0x9000, .clock = 3}, false, true, ntsc},
      {"CIA tune at $E000, under the KERNAL", {.load = 0xE000, .cia = true}, false, false,
       kPalClock / (kTuneCiaLatch + 1)},
      {"with a fade, NTSC, free pages $08-$9F", {.load = 0xC000, .free_start = 0x08,
        .free_pages = 0x98}, true, true, pal},
  };
  for (const TuneRun& r : runs) {
    SCOPED_TRACE(r.name);
    const KoalaPicture card = make_test_card();
    const Bytes file = psid_file(r.header);  // the tune's data is a view of it
    const SidTune tune = tune_of(file);
    const Bytes program = release(card, r.fade, &tune);
    Bytes packed_tune;
    lz_pack(tune.data, packed_tune);
    EXPECT_LE(program.size(), release(card, r.fade, nullptr).size() + packed_tune.size() + 400);
    C64 m = loaded_and_run(program, r.ntsc);
    const C64 before = m;
    KoalaPicture expected = card;
    for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) expected[at] &= 0x0F;

    run_to_picture(m);
    ASSERT_EQ(m.fault, "");
    if (!r.fade) {
      EXPECT_LE(m.cycles, kDisplayerMostCycles) << "to the picture; the tune is set up after";
    }
    EXPECT_TRUE(testing::shows_the_same_pixels(expected, what_the_vic_shows(m)));
    EXPECT_EQ(m.ram[tune.load + 0x38], 0) << "init's song";

    // Two seconds of play.
    const double clock = r.ntsc ? kNtscClock : kPalClock;
    const auto count = [&] { return m.ram[tune.load + 0x39] | m.ram[tune.load + 0x3A] << 8; };
    const int calls = count();
    const std::uint64_t start = m.cycles;
    run_until(m, [&] { return m.cycles > start + static_cast<std::uint64_t>(2 * clock); });
    ASSERT_EQ(m.fault, "");
    const double rate = (count() - calls) / (static_cast<double>(m.cycles - start) / clock);
    EXPECT_NEAR(rate, r.calls_a_second, 0.6);
    EXPECT_TRUE(testing::shows_the_same_pixels(expected, what_the_vic_shows(m)));
    EXPECT_EQ(m.sid[0x18], 0x0F) << "the tune plays";

    m.space_down = true;
    const int reads = m.keyboard_reads;
    run_until(m, [&] { return m.keyboard_reads > reads + 100; });
    m.space_down = false;
    run_until(m, [&] { return m.pc == testing::kSysReturn; });
    ASSERT_EQ(m.fault, "");
    EXPECT_EQ(m.s, testing::kStackAtSys + 2) << "the return address taken off";
    EXPECT_EQ(m.p & 0x04, 0);
    EXPECT_EQ(m.ram[1], 0x37) << "the ROMs back";
    EXPECT_EQ(m.ram[0xC6], 0);
    EXPECT_EQ(m.sid[0x18] & 0x0F, 0) << "volume 0";
    for (const int control : {0x04, 0x0B, 0x12}) EXPECT_EQ(m.sid[control] & 1, 0) << "gate off";
    EXPECT_EQ(m.vic, before.vic) << "$d012 and $d01a as the KERNAL set them";
    EXPECT_EQ(m.vic_interrupt_mask, 0) << "the raster's latch may set, it interrupts no more";
    EXPECT_EQ(m.timer_a_latch, r.ntsc ? 0x4295 : 0x4025);
    EXPECT_EQ(m.cia1_interrupt_mask, 0x01);
    EXPECT_EQ(m.cia1_control_a & 0x01, 0x01) << "the timer runs";
    EXPECT_EQ(m.colour_ram, before.colour_ram);
    const bool bank2 = tune.load < 0x8000 && tune.end >= 0x4000;
    const std::size_t head =
        release_code(r.fade, true, bank2 ? ReleaseBank::two : ReleaseBank::one).size() + 1 +
        kTuneBlock - 4;
    EXPECT_EQ(changed_outside(m, before, &tune, program[head] | program[head + 1] << 8,
                              program[head + 2] | program[head + 3] << 8, bank2),
              "")
        << "zero page and $0314 included";
  }
}

FormatFile written_program(const KoalaPicture& picture, const ReleaseExtras& extras) {
  FormatFile file;
  write_format_file(*format_named("prg"), picture, -1, "pic.kla", file, extras);
  return file;
}

TEST(ReleaseProgram, RefusesTunesItCannotPlayOrPlace) {
  const auto with_data = [](Bytes file, std::size_t at, std::uint8_t value) {
    file[at] = value;
    return file;
  };
  const Bytes good = psid_file({});
  const struct Case {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"RSID", psid_file({.magic = "RSID"}),
       "ERROR: Tune 'count.sid' is an RSID tune; only PSID tunes can be played."},
      {"no play address", psid_file({.play_offset = 0}),
       "ERROR: Tune 'count.sid' has no play address."},
      {"MUS data", psid_file({.flags = 1}),
       "ERROR: Tune 'count.sid' needs a player this program does not have (MUS data)."},
      {"a second SID", psid_file({.version = 3, .second_sid = 0x42}),
       "ERROR: Tune 'count.sid' needs a player this program does not have (a second SID)."},
      {"a third SID", psid_file({.version = 4, .third_sid = 0x42}),
       "ERROR: Tune 'count.sid' needs a player this program does not have (a third SID)."},
      {"a cut header", Bytes(good.begin(), good.begin() + 0x20),
       "ERROR: Tune 'count.sid' is damaged (it ends inside its header)."},
      {"a version 5", with_data(good, 5, 5),
       "ERROR: Tune 'count.sid' is damaged (an unknown version)."},
      {"past $FFFF", psid_file({.load = 0xFFD0}),
       "ERROR: Tune 'count.sid' is damaged (its data passes $FFFF)."},
      {"in the stack", psid_file({.load = 0x0180}),
       "ERROR: Tune 'count.sid' ($0180-$01BF) leaves no room for the picture and the program."},
      {"in the I/O", psid_file({.load = 0xCFE0}),
       "ERROR: Tune 'count.sid' ($CFE0-$D01F) leaves no room for the picture and the program."},
      {"on the vectors", psid_file({.load = 0xFFC0}),
       "ERROR: Tune 'count.sid' ($FFC0-$FFFF) leaves no room for the picture and the program."},
      {"in banks 1 and 2", psid_file({.load = 0x7FE0}),
       "ERROR: Tune 'count.sid' ($7FE0-$801F) leaves no room for the picture and the program."},
      {"in the text screen", psid_file({.load = 0x0400}),
       "ERROR: Tune 'count.sid' ($0400-$043F) leaves no room for the picture and the program."},
      {"free pages without bank 1 or 2",
       psid_file({.load = 0xC000, .free_start = 0x08, .free_pages = 0x70}),
       "ERROR: Tune 'count.sid' ($C000-$C03F) leaves no room for the picture and the program."},
      {"no free page", psid_file({.load = 0xC000, .free_start = 0xFF}),
       "ERROR: Tune 'count.sid' ($C000-$C03F) leaves no room for the picture and the program."},
      {"longer than 16 KB", psid_file({.load = 0x8000, .data_size = 0x4001}),
       "ERROR: Tune 'count.sid' ($8000-$C000) leaves no room for the picture and the program."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SidRead read = read_sid_tune(c.file, "count.sid");
    std::string message = read.error;
    if (read.read) {
      const FormatFile file =
          written_program(make_test_card(),
                          {.fade = true, .tune = &read.tune, .tune_name = "count.sid"});
      EXPECT_EQ(file.size, 0u);
      message = file.refusal;
    }
    EXPECT_EQ(message, c.message);
  }
}

TEST(ReleaseProgram, ImportReadsThePictureBackAndWhatElseItHeld) {
  const Bytes file = psid_file({.load = 0xC000});
  const SidTune tune = tune_of(file);
  const Bytes file2 = psid_file({.load = 0x5000});  // the picture in bank 2
  const SidTune tune2 = tune_of(file2);
  const KoalaPicture card = make_test_card();
  KoalaPicture expected = card;
  for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) expected[at] &= 0x0F;
  for (const bool fade : {false, true}) {
    for (const SidTune* with : {static_cast<const SidTune*>(nullptr), &tune, &tune2}) {
      if (!fade && with == nullptr) continue;
      SCOPED_TRACE(std::string(fade ? "fade" : "") + (with ? " tune" : ""));
      const Bytes program = release(card, fade, with);
      KoalaPicture read;
      const std::optional<DisplayerRead> found = read_displayer_program(program, read);
      ASSERT_TRUE(found);
      EXPECT_EQ(found->fade, fade);
      EXPECT_EQ(found->tune, with != nullptr);
      EXPECT_TRUE(testing::shows_the_same_pixels(expected, read));
      // The layout checked in full.
      const std::size_t block =
          release_code(fade, with != nullptr, with == &tune2 ? ReleaseBank::two : ReleaseBank::one)
              .size() +
          1;
      const auto changed = [&](std::size_t at, std::uint8_t value) {
        Bytes bytes = program;
        bytes[at] = value;
        return bytes;
      };
      std::vector<Bytes> broken = {Bytes(program.begin(), program.end() - 1), program,
                                   changed(block - 1, 16)};
      broken[1].push_back(0);
      if (with != nullptr) {
        broken.push_back(changed(block + 9, 7));       // play called at a rate it never writes
        broken.push_back(changed(block + 1, with == &tune2 ? 0x90 : 0x60));  // in the bank
        broken.push_back(changed(block + 2, 0xC1));    // a tune longer than its stream
        broken.push_back(changed(block + 14, 0x01));   // its stream moved a byte off
      }
      for (const Bytes& bad : broken) EXPECT_FALSE(read_displayer_program(bad, read));
    }
  }
}

}  // namespace
}  // namespace bitmosaic
