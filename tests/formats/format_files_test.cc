// Every format of the table: a picture written and read back comes out the
// same; files built here run by run, in each packed format's own coding,
// read as the picture the runs spell; the packed writers write what every
// reader reads; the one-colour formats take only pictures they can show.
#include "formats/format_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "import/import_file.h"
#include "support/pattern_picture.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::differences;
using testing::pattern_picture;

const PictureFormat& format(const char* name) {
  const PictureFormat* found = format_named(name);
  if (found == nullptr) throw std::invalid_argument(name);
  return *found;
}

// The picture as a reader of a Koala file sees it: colour RAM and the
// background count only by their low four bits.
KoalaPicture as_shown(KoalaPicture picture) {
  for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) picture[at] &= 0x0F;
  return picture;
}

// A picture that the one-colour formats can hold too: one screen colour and
// one colour-RAM colour everywhere, and a black background.
KoalaPicture plain_colours(KoalaPicture picture) {
  std::fill(picture.begin() + kScreenColourOffset, picture.begin() + kColourRamOffset, 0x5A);
  std::fill(picture.begin() + kColourRamOffset, picture.begin() + kBackgroundOffset, 0x0D);
  picture[kBackgroundOffset] = 0;
  return picture;
}

bool holds_every_cell(const PictureFormat& f) {
  return f.layout.screen_spread == Spread::every_cell &&
         f.layout.colour_ram_spread == Spread::every_cell && f.layout.background != kNowhere;
}

std::string first_extension(const PictureFormat& f) {
  const std::string names = f.extensions;
  return names.substr(0, names.find(' '));
}

ImportResult import_bytes(std::span<const std::uint8_t> file, const std::string& name) {
  return import_file(file, name);
}

// The file of the format, or its refusal as the only "byte" of the result.
struct Written {
  Bytes bytes;
  std::string refusal;
};

Written written(const PictureFormat& f, const KoalaPicture& picture, int border,
                const std::string& name = "p") {
  auto file = std::make_unique<FormatFile>();
  const bool made = write_format_file(f, picture, border, name, *file);
  EXPECT_EQ(made, file->refusal.empty());
  return {Bytes(file->bytes().begin(), file->bytes().end()), file->refusal};
}

TEST(FormatTable, EveryPartLiesInsideItsFormatAndNoTwoOverlap) {
  for (const PictureFormat& f : picture_formats()) {
    if (f.packing == Packing::displayer) continue;
    const Layout& l = f.layout;
    struct Part {
      std::size_t at, length;
    };
    std::vector<Part> parts = {
        {l.bitmap, kBitmapSize},
        {l.screen, l.screen_spread == Spread::every_cell ? 1000u : 1u},
        {l.colour_ram, l.colour_ram_spread == Spread::every_cell ? 1000u : 1u}};
    for (const std::size_t single : {l.background, l.second_background, l.border})
      if (single != kNowhere) parts.push_back({single, 1});
    if (f.fixed.bytes != nullptr) parts.push_back({f.fixed.at, f.fixed.length});
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_LE(parts[i].at + parts[i].length, f.data_size) << f.name << " part " << i;
      for (std::size_t j = i + 1; j < parts.size(); ++j)
        EXPECT_TRUE(parts[i].at + parts[i].length <= parts[j].at ||
                    parts[j].at + parts[j].length <= parts[i].at)
            << f.name << ": parts " << i << " and " << j << " overlap";
    }
    // Room enough for the data and for the file, packed at its worst.
    const PackingRule* rule = packing_rule(f.packing);
    const std::size_t data = f.data_size + (rule != nullptr ? rule->trailer : 0);
    EXPECT_LE(data, kLargestFormatData) << f.name;
    EXPECT_LE(rule != nullptr ? 2 + rule->data_at + packed_bound(data) + 2 : layout_file_size(f),
              kLargestFormatFile)
        << f.name;
    // A load address that puts the file over zero page, the stack or the
    // end of memory is nobody's.
    if (f.address_source == AddressSource::known || f.address_source == AddressSource::chosen) {
      EXPECT_GE(f.load_address, 0x0200) << f.name;
      EXPECT_LE(f.load_address + f.data_size, 0x10000u) << f.name;
    }
  }
}

TEST(FormatTable, TheFileSizesOfTheFormats) {
  const std::pair<const char*, std::size_t> sizes[] = {
      {"koala", 10003},         {"koala-raw", 10001},      {"koala-padded", 10006},
      {"runpaint", 10006},      {"interpaint", 10003},     {"facepainter", 10004},
      {"garfield", 10007},      {"cdu", 10277},            {"artstudio", 10018},
      {"blazingpaddles", 10242}, {"artist64", 10242},      {"imagesystem", 10218},
      {"vidcom", 10050},        {"dolphined", 10242},      {"picasso", 10050},
      {"saracen", 10219},       {"rainbow", 10242},        {"paintmagic", 9332},
      {"drazpaint", 10051},     {"cenimate", 10051},       {"multigraf", 11266},
      {"cheese", 20482},        {"centauri", 8194},        {"microillustrator", 10022}};
  for (const auto& [name, size] : sizes) EXPECT_EQ(size, layout_file_size(format(name))) << name;
}

struct RoundTrip {
  const PictureFormat* format;
  const char* picture;  // "pattern" (no runs at all) or "card"
};

std::string round_trip_name(const ::testing::TestParamInfo<RoundTrip>& info) {
  std::string name = std::string(info.param.format->name) + "_" + info.param.picture;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

std::vector<RoundTrip> written_formats() {
  std::vector<RoundTrip> cases;
  for (const PictureFormat& f : picture_formats())
    if (!f.read_only && f.packing != Packing::displayer)
      for (const char* picture : {"pattern", "card"}) cases.push_back({&f, picture});
  return cases;
}

class EveryFormat : public ::testing::TestWithParam<RoundTrip> {};

// Written, then read by the name a new file gets, and by content alone.
TEST_P(EveryFormat, GivesThePictureBack) {
  const PictureFormat& f = *GetParam().format;
  KoalaPicture picture =
      std::string(GetParam().picture) == "card" ? make_test_card() : pattern_picture(3);
  if (!holds_every_cell(f)) picture = plain_colours(picture);
  picture[0] = 0x00;  // where a Koala picture usually loads
  picture[1] = 0x60;
  const Written file = written(f, picture, kBorderIsBackground, "p.kla");
  ASSERT_EQ("", file.refusal);
  if (f.packing == Packing::none) {
    EXPECT_EQ(layout_file_size(f), file.bytes.size());
  }
  // Without a name, formats of the same layout and load address read the
  // same picture and the first of them is named.
  for (const std::string& name : {"p." + first_extension(f), std::string("p")}) {
    const ImportResult read = import_bytes(file.bytes, name);
    ASSERT_TRUE(read.imported) << name << ": " << read.error;
    EXPECT_EQ("", differences(as_shown(picture), as_shown(read.picture))) << name;
    if (name != "p") {
      EXPECT_EQ(0u, read.description.find(f.title)) << read.description;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(written_formats()),
                         round_trip_name);

TEST(Border, IsTheBackgroundUnlessGiven) {
  KoalaPicture picture = pattern_picture(1);
  picture[kBackgroundOffset] = 0xE6;  // a border colour in the high bits, as some converters keep
  KoalaPicture plain = plain_colours(picture);
  plain[kBackgroundOffset] = 0xE6;
  for (const auto& [name, source] : {std::pair{"artstudio", picture}, {"paintmagic", plain}}) {
    const PictureFormat& f = format(name);
    const std::size_t border = 2 + f.layout.border;
    EXPECT_EQ(6, written(f, source, kBorderIsBackground).bytes.at(border)) << name;
    EXPECT_EQ(14, written(f, source, 14).bytes.at(border)) << name;
    EXPECT_EQ(0xE6, written(f, source, 14).bytes.at(2 + f.layout.background));
  }
  // Where sources disagree on the background's place, it is in both.
  for (const char* name : {"facepainter", "garfield", "vidcom"}) {
    const Bytes bytes = written(format(name), picture, 3).bytes;
    EXPECT_EQ(0xE6, bytes.at(2 + format(name).layout.background)) << name;
    EXPECT_EQ(0xE6, bytes.at(2 + format(name).layout.second_background)) << name;
  }
}

// ---------------------------------------------------------------------------
// Files built by hand, run by run, in each packed format's coding.

struct Run {
  std::uint8_t value;
  std::size_t count;
};

// Koala's 10001 bytes as runs. The bitmap holds the escape bytes of the
// codings ($FE, $C2, $FF) as values of their own.
const std::vector<Run> kKoalaRuns = {{0x1B, 3000}, {0xFE, 1},    {0xC2, 2},    {0xFF, 1},
                                     {0xE4, 4996}, {0x25, 1000}, {0x0D, 1000}, {0x06, 1}};

// The same picture in Vidcom's order (Drazpaint's data): colour RAM, 24
// unused bytes, screen colours, 24 unused bytes, bitmap, background.
const std::vector<Run> kVidcomRuns = {{0x0D, 1000}, {0x00, 24},   {0x25, 1000}, {0x00, 24},
                                      {0x1B, 3000}, {0xFE, 1},    {0xC2, 2},    {0xFF, 1},
                                      {0xE4, 4996}, {0x06, 1}};

KoalaPicture picture_of_runs() {
  KoalaPicture picture{};
  picture[0] = 0x00;
  picture[1] = 0x60;
  std::size_t at = kBitmapOffset;
  for (const Run& run : kKoalaRuns) at = static_cast<std::size_t>(
      std::fill_n(picture.begin() + static_cast<std::ptrdiff_t>(at), run.count, run.value) -
      picture.begin());
  return picture;
}

// Writes one run in a format's coding, in pieces of at most `longest`; a
// piece of 256 is written with the count 0 where `zero_is_256`.
using RunWriter = std::function<void(Bytes&, std::uint8_t value, std::size_t count)>;

void write_pieces(Bytes& out, const Run& run, std::size_t longest,
                  const std::function<void(Bytes&, std::uint8_t, std::size_t)>& piece) {
  for (std::size_t left = run.count; left > 0;) {
    const std::size_t length = std::min(left, longest);
    piece(out, run.value, length);
    left -= length;
  }
}

struct HandBuilt {
  const char* what;
  const char* name;  // the file's name
  Bytes head;        // the load address and what precedes the runs
  std::vector<Run> runs;
  RunWriter write_run;
  Bytes tail;
  bool backwards = false;  // Zoomatic: the coded bytes are stored from the end
  bool by_content = true;  // also taken without a name
};

std::ostream& operator<<(std::ostream& out, const HandBuilt& c) { return out << c.what; }

Bytes build(const HandBuilt& c) {
  Bytes coded;
  for (const Run& run : c.runs) c.write_run(coded, run.value, run.count);
  Bytes file = c.head;
  if (c.backwards) std::reverse(coded.begin(), coded.end());
  file.insert(file.end(), coded.begin(), coded.end());
  file.insert(file.end(), c.tail.begin(), c.tail.end());
  return file;
}

Bytes with_text(Bytes bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

const std::vector<HandBuilt> kHandBuilt = {
    {"GG: $FE value count", "p.gg", {0x00, 0x60}, kKoalaRuns,
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       write_pieces(out, {value, count}, 255, [](Bytes& o, std::uint8_t v, std::size_t n) {
         o.insert(o.end(), {0xFE, v, static_cast<std::uint8_t>(n)});
       });
     },
     {}},
    {"Amica: $C2 count value, the table, $C2 $00", "p.ami", {0x00, 0x40},
     [] {
       std::vector<Run> runs = kKoalaRuns;
       runs.push_back({0x00, 256});  // the colour-cycling table
       return runs;
     }(),
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       write_pieces(out, {value, count}, 255, [](Bytes& o, std::uint8_t v, std::size_t n) {
         o.insert(o.end(), {0xC2, static_cast<std::uint8_t>(n), v});
       });
     },
     {0xC2, 0x00}},
    {"Drazpaint: header, escape $00, escape count value", "p.drz",
     with_text({0x00, 0x58}, std::string("DRAZPAINT 1.4") + '\0'), kVidcomRuns,
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       write_pieces(out, {value, count}, 255, [](Bytes& o, std::uint8_t v, std::size_t n) {
         o.insert(o.end(), {0x00, static_cast<std::uint8_t>(n), v});
       });
     },
     {}},
    {"Zoomatic: from the end, value count escape, 0 for 256", "p.zom", {0x00, 0x60},
     [] {
       std::vector<Run> runs(kKoalaRuns.rbegin(), kKoalaRuns.rend());
       return runs;
     }(),
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       write_pieces(out, {value, count}, 256, [](Bytes& o, std::uint8_t v, std::size_t n) {
         // Read from the end: escape, count, value.
         o.insert(o.end(), {0x77, static_cast<std::uint8_t>(n & 0xFF), v});
       });
     },
     {0x77}, true},
    {"Boogie Down, header and escape: escape count value, 0 for 256", "p.bdp",
     {0x00, 0x60, 0x02, 0x04, 0x10, 0x36, 0x30, 0x30, 0x99, 0x00}, kKoalaRuns,
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       write_pieces(out, {value, count}, 256, [](Bytes& o, std::uint8_t v, std::size_t n) {
         o.insert(o.end(), {0x99, static_cast<std::uint8_t>(n & 0xFF), v});
       });
     },
     {}},
    {"Boogie Down 5.00: short and long runs", "p.bdp",
     with_text({0x00, 0x60}, "BDP 5.00\x98\x97"), kKoalaRuns,
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       if (count > 255)
         out.insert(out.end(), {0x97, static_cast<std::uint8_t>(count & 0xFF),
                                static_cast<std::uint8_t>(count >> 8), value});
       else
         out.insert(out.end(), {0x98, static_cast<std::uint8_t>(count), value});
     },
     {}},
    {"Boogie Down commands: $FF runs and $FE literal blocks", "p.bdp", {0x00, 0x60}, kKoalaRuns,
     [](Bytes& out, std::uint8_t value, std::size_t count) {
       if (count == 1000) {  // the colours as literal blocks
         out.insert(out.end(), {0xFE, 0xE8, 0x03});
         out.insert(out.end(), count, value);
         return;
       }
       write_pieces(out, {value, count}, 256, [](Bytes& o, std::uint8_t v, std::size_t n) {
         o.insert(o.end(), {0xFF, static_cast<std::uint8_t>(n & 0xFF), v});
       });
     },
     {}, false, false},  // no header, no known load address: only by name
};

class HandBuiltFiles : public ::testing::TestWithParam<HandBuilt> {};

TEST_P(HandBuiltFiles, ReadAsThePictureTheirRunsSpell) {
  const ImportResult read = import_bytes(build(GetParam()), GetParam().name);
  ASSERT_TRUE(read.imported) << read.error;
  EXPECT_EQ("", differences(picture_of_runs(), read.picture));
  const ImportResult unnamed = import_bytes(build(GetParam()), "p");
  EXPECT_EQ(GetParam().by_content, unnamed.imported) << unnamed.error;
  if (unnamed.imported) {
    EXPECT_EQ(read.description, unnamed.description);
    EXPECT_EQ("", differences(picture_of_runs(), unnamed.picture));
  }
}

INSTANTIATE_TEST_SUITE_P(Packings, HandBuiltFiles, ::testing::ValuesIn(kHandBuilt));

// ---------------------------------------------------------------------------
// What the packed writers write.

// A picture of long runs: bitmap 0, screen colours $12, colour RAM 3, background 6.
KoalaPicture runs_picture() {
  KoalaPicture picture{};
  picture[1] = 0x60;
  std::fill(picture.begin() + kScreenColourOffset, picture.begin() + kColourRamOffset, 0x12);
  std::fill(picture.begin() + kColourRamOffset, picture.begin() + kBackgroundOffset, 3);
  picture[kBackgroundOffset] = 6;
  return picture;
}

// `count` bytes of `value` as runs of at most 255.
Bytes runs_of(std::uint8_t escape, bool value_first, std::uint8_t value, std::size_t count) {
  Bytes out;
  for (; count > 0; count -= std::min<std::size_t>(count, 255)) {
    const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(count, 255));
    out.insert(out.end(), {escape, value_first ? value : n, value_first ? n : value});
  }
  return out;
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(PackedWriters, GgSplitsRunsAt255AndNeverWritesACountOf0) {
  const Bytes expected = joined({{0x00, 0x60}, runs_of(0xFE, true, 0, 8000),
                                 runs_of(0xFE, true, 0x12, 1000), runs_of(0xFE, true, 3, 1000),
                                 {6}});
  EXPECT_EQ(expected, written(format("gg"), runs_picture(), -1).bytes);
}

TEST(PackedWriters, AmicaWritesTheTableAndTheEndMarker) {
  // The background and the 256 zeros of the table after it.
  const Bytes expected =
      joined({{0x00, 0x40}, runs_of(0xC2, false, 0, 8000), runs_of(0xC2, false, 0x12, 1000),
              runs_of(0xC2, false, 3, 1000), {6}, runs_of(0xC2, false, 0, 255), {0x00},
              {0xC2, 0x00}});
  EXPECT_EQ(expected, written(format("amica"), runs_picture(), -1).bytes);
}

TEST(PackedWriters, DrazpaintChoosesTheEscapeThatGivesTheSmallestFile) {
  // Every byte value occurs in the bitmap, never twice in a row, and $37
  // only once in the whole picture: it is the escape that costs least.
  KoalaPicture picture = pattern_picture(5);
  for (std::size_t at = 0; at < kBitmapSize; ++at)
    picture[kBitmapOffset + at] = static_cast<std::uint8_t>(at * 7 % 256);
  std::replace(picture.begin() + kBitmapOffset + 82, picture.end(), 0x37, 0x38);
  const Bytes file = written(format("drazpaint-packed"), picture, -1).bytes;
  ASSERT_GT(file.size(), 16u);
  EXPECT_EQ(with_text({0x00, 0x58}, "DRAZPAINT 1.4"), Bytes(file.begin(), file.begin() + 15));
  EXPECT_EQ(0x37, file[15]);
  // No other escape byte packs the same data smaller.
  const Bytes data = written(format("drazpaint"), picture, -1).bytes;
  Bytes coded(packed_bound(data.size()));
  for (int escape = 0; escape < 256; ++escape) {
    const std::size_t size = pack_runs_into(
        std::span(data).subspan(2),
        {static_cast<std::uint8_t>(escape), RunOrder::count_then_value, ZeroRun::as_none}, coded);
    EXPECT_LE(file.size() - 16, size) << "escape " << escape;
  }
}

// ---------------------------------------------------------------------------
// Formats that hold one colour for all cells, or a black background only.

struct Fit {
  const char* what;
  const char* format;
  std::function<void(KoalaPicture&)> change;  // applied to a plain-coloured picture
  std::string refusal;                        // "" when it fits
};

std::ostream& operator<<(std::ostream& out, const Fit& c) { return out << c.what; }

// Sets the bitmap of cell (column, row) to show only bit pair `pair`.
void only_pair(KoalaPicture& picture, int column, int row, int pair) {
  for (int line = 0; line < kLinesPerCell; ++line)
    picture[cell_byte_offset(column, row, line)] = static_cast<std::uint8_t>(0x55 * pair);
}

class OneColourFormats : public ::testing::TestWithParam<Fit> {};

TEST_P(OneColourFormats, TakeOnlyPicturesTheyCanShow) {
  const Fit& c = GetParam();
  KoalaPicture picture = plain_colours(make_test_card());
  only_pair(picture, 0, 0, 0);
  picture[cell_byte_offset(0, 0, 7)] = 0x1B;  // cell 0 shows every bit pair
  c.change(picture);
  const Written file = written(format(c.format), picture, -1, "p.kla");
  EXPECT_EQ(c.refusal, file.refusal);
  if (!c.refusal.empty()) {
    EXPECT_TRUE(file.bytes.empty());
    return;
  }
  // Exact in what every pixel shows, not in the bytes.
  const ImportResult read =
      import_bytes(file.bytes, std::string("p.") + format(c.format).extensions);
  ASSERT_TRUE(read.imported) << read.error;
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column)
      for (int line = 0; line < kLinesPerCell; ++line)
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) {
          const int value = pixel_value(picture[cell_byte_offset(column, row, line)], pixel);
          ASSERT_EQ(pixel_colour(picture, column, row, value),
                    pixel_colour(read.picture, column, row, value))
              << column << "," << row;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Fits, OneColourFormats,
    ::testing::Values(
        Fit{"colour RAM differs where pair 11 is not shown", "paintmagic",
            [](KoalaPicture& p) {
              only_pair(p, 7, 3, 2);
              p[colour_ram_offset(7, 3)] = 0x07;
            },
            ""},
        Fit{"colour RAM differs where pair 11 is shown", "paintmagic",
            [](KoalaPicture& p) {
              only_pair(p, 7, 3, 3);
              p[colour_ram_offset(7, 3)] = 0x07;
            },
            "ERROR: Picture 'p.kla' does not fit Paint Magic, which holds one colour-RAM colour "
            "for all cells: cell col 7, row 3 shows 7 [yellow] with bit pair 11, cell col 0, row "
            "0 shows 13 [light green]."},
        Fit{"the high bits of colour RAM do not count", "paintmagic",
            [](KoalaPicture& p) { p[colour_ram_offset(39, 24)] = 0xAD; }, ""},
        Fit{"a screen colour half of which is not shown", "centauri",
            [](KoalaPicture& p) {
              only_pair(p, 20, 10, 1);
              p[screen_colour_offset(20, 10)] = 0x57;
            },
            ""},
        Fit{"a screen colour that is shown", "centauri",
            [](KoalaPicture& p) {
              only_pair(p, 20, 10, 2);
              p[screen_colour_offset(20, 10)] = 0x57;
            },
            "ERROR: Picture 'p.kla' does not fit Centauri Logo Editor, which holds one screen "
            "colour for all cells: cell col 20, row 10 shows 7 [yellow] with bit pair 10, cell "
            "col 0, row 0 shows 10 [pink]."},
        Fit{"a background no pixel shows", "rainbow",
            [](KoalaPicture& p) {
              for (int row = 0; row < kCellRows; ++row)
                for (int column = 0; column < kCellColumns; ++column) only_pair(p, column, row, 1);
              p[kBackgroundOffset] = 6;
            },
            ""},
        Fit{"a background that pixels show", "rainbow",
            [](KoalaPicture& p) { p[kBackgroundOffset] = 0xF6; },
            "ERROR: Picture 'p.kla' does not fit Rainbow Painter, whose background is always "
            "black: cell col 0, row 0 shows the background 6 [blue]."}));

}  // namespace
}  // namespace bitmosaic
