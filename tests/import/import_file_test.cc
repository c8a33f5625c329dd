// Bringing pictures in: every image form and palette round trips to the same
// colours, every broken rule gives its message, every Koala form unpacks to
// the same bytes, and the bit pairs stay where the cell before had them.
#include "import/import_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/png_export.h"
#include "screenshot.h"
#include "support/pattern_picture.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

ImportResult import_bytes(const std::string& file, int palette = -1) {
  return import_file(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()),
                     "x.png", palette);
}

const Palette& palette_named(const std::string& name) {
  for (const Palette& palette : c64_palettes())
    if (name == palette.name) return palette;
  throw std::invalid_argument(name);
}

struct RoundTrip {
  const char* picture;  // "card" or "disc"
  const char* palette;
  int width, height;
  PngLayout layout;
};

class ImageRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ImageRoundTrip, ShowsTheSameColourInEveryPixel) {
  const RoundTrip& c = GetParam();
  const KoalaPicture original = std::string(c.picture) == "card" ? make_test_card() : make_disc();
  const ImportResult result = import_bytes(
      render_png(original, palette_named(c.palette).colours, c.width, c.height, c.layout));
  ASSERT_TRUE(result.imported) << result.error;
  EXPECT_EQ(0u, result.description.find("Image " + std::to_string(c.width) + "x" +
                                        std::to_string(c.height) + ", palette " + c.palette +
                                        ", background "))
      << result.description;
  EXPECT_EQ(0x6000, load_address(result.picture));
  int wrong = 0;
  for (int y = 0; y < kPixelLines; ++y)
    for (int x = 0; x < kPixelColumns; ++x)
      if (displayed_colour(result.picture, x, y) != displayed_colour(original, x, y) &&
          wrong++ < 5)
        ADD_FAILURE() << "pixel " << x << ", " << y;
  EXPECT_EQ(0, wrong);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ImageRoundTrip,
    ::testing::Values(RoundTrip{"card", "pepto", 160, 200, PngLayout::palette},
                      RoundTrip{"card", "pepto", 320, 200, PngLayout::rgb16},
                      RoundTrip{"card", "pepto", 384, 272, PngLayout::rgba},
                      RoundTrip{"card", "colodore", 160, 200, PngLayout::rgb},
                      RoundTrip{"card", "colodore", 320, 200, PngLayout::palette},
                      RoundTrip{"card", "colodore", 384, 272, PngLayout::rgba_interlaced},
                      RoundTrip{"disc", "pepto", 160, 200, PngLayout::rgb},
                      RoundTrip{"disc", "colodore", 320, 200, PngLayout::rgba},
                      RoundTrip{"disc", "pepto", 384, 272, PngLayout::rgba_interlaced},
                      RoundTrip{"card", "vice", 384, 247, PngLayout::rgb},
                      RoundTrip{"card", "pepto", 640, 400, PngLayout::palette},
                      RoundTrip{"card", "colodore", 960, 600, PngLayout::rgb},
                      RoundTrip{"disc", "pepto", 320, 400, PngLayout::rgba},
                      RoundTrip{"disc", "vice", 768, 544, PngLayout::rgb},
                      RoundTrip{"card", "pepto", 1536, 988, PngLayout::rgb}));

// Artists' palettes lie close to the table's, not in it: a green 48 away
// from vice's still makes a vice picture, and the line says how far.
TEST(ImageImport, APaletteNearOneOfTheTableIsTakenAndNamed) {
  C64Colours drawn = palette_named("vice").colours;
  drawn[5].blue = static_cast<std::uint8_t>(drawn[5].blue + 48);
  const std::string file = render_png(make_test_card(), drawn, 320, 200, PngLayout::rgb);
  const ImportResult result = import_bytes(file);
  ASSERT_TRUE(result.imported) << result.error;
  EXPECT_EQ("Image 320x200, palette vice (colours up to 48 away), background 6 [blue]",
            result.description);
  EXPECT_EQ("", differences(result.picture, import_bytes(render_png(make_test_card(),
                                                                   palette_named("vice").colours,
                                                                   320, 200, PngLayout::rgb))
                                               .picture));
  // Named, the palette is the only one tried.
  const ImportResult named = import_bytes(file, 0);
  EXPECT_FALSE(named.imported);
  EXPECT_EQ(0u, named.error.find("ERROR: Image 'x.png' has the colour #"));
  EXPECT_NE(std::string::npos, named.error.find("of palette pepto."));
}

// Small images made pixel by pixel: `paint` gives the colour of each pixel.
template <typename Paint>
std::string image(int width, int height, Paint paint) {
  std::string rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = paint(x, y);
      rgb += static_cast<char>(colour >> 16);
      rgb += static_cast<char>(colour >> 8);
      rgb += static_cast<char>(colour);
    }
  return encode_rgb_png(width, height, rgb);
}

constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x68372B;
// pepto's colours 0 to 7, for cells of many colours.
constexpr std::uint32_t kPepto[8] = {0x000000, 0xFFFFFF, 0x68372B, 0x70A4B2,
                                     0x6F3D86, 0x588D43, 0x352879, 0xB8C76F};

// A 160x200 image: black, with the first `cells` cells (in row order) each
// showing colours 1 to `colours` of pepto along their first line.
std::string crowded(int cells, int colours) {
  return image(160, 200, [=](int x, int y) {
    const int cell = (y / 8) * 40 + x / 4;
    const int index = (y % 8) * 4 + x % 4;
    return cell < cells && index < colours ? kPepto[index % 8] : kBlack;
  });
}

std::string lines_of(int count, int from_column) {
  std::string text;
  for (int cell = 0; cell < count; ++cell) {
    if (!text.empty()) text += "\n";
    text += "ERROR: Cell col " + std::to_string(from_column + cell) +
            ", row 0 of 'x.png' has 5 colours; a cell shows at most 4, one of them the "
            "background.";
  }
  return text;
}

struct BadImage {
  const char* what;
  std::string file;
  std::string message;
  int palette = -1;  // the palette named, or any
};

std::ostream& operator<<(std::ostream& out, const BadImage& c) { return out << c.what; }

class BadImages : public ::testing::TestWithParam<BadImage> {};

TEST_P(BadImages, EndWithTheirMessage) {
  const ImportResult result = import_bytes(GetParam().file, GetParam().palette);
  EXPECT_FALSE(result.imported);
  EXPECT_EQ(GetParam().message, result.error);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, BadImages,
    ::testing::Values(
        BadImage{"size", image(200, 100, [](int, int) { return kBlack; }),
                 "ERROR: Image 'x.png' is 200x100 pixels; import takes 160x200, 320x200, 384x272 "
                 "or 384x247, or one of them scaled 2x, 3x or 4x."},
        BadImage{"broken block",
                 image(640, 400, [](int x, int y) { return x == 13 && y == 9 ? kWhite : kBlack; }),
                 "ERROR: Image 'x.png' is scaled 2x, but the block at 12, 8 has two colours."},
        BadImage{"pair, scaled",
                 image(960, 600, [](int x, int y) { return x >= 9 && x < 12 && y >= 3 && y < 6 ? kWhite : kBlack; }),
                 "ERROR: Image 'x.png' has two colours in the pixel pair at 6, 3; multicolour "
                 "pixels are two pixels wide."},
        BadImage{"pair", image(320, 200, [](int x, int y) { return x == 7 && y == 3 ? kWhite : kBlack; }),
                 "ERROR: Image 'x.png' has two colours in the pixel pair at 6, 3; multicolour "
                 "pixels are two pixels wide."},
        BadImage{"pair in a screenshot",
                 image(384, 272, [](int x, int y) { return x == 37 && y == 40 ? kWhite : kBlack; }),
                 "ERROR: Image 'x.png' has two colours in the pixel pair at 36, 40; multicolour "
                 "pixels are two pixels wide."},
        BadImage{"far colour",
                 image(160, 200, [](int x, int y) { return x == 10 && y == 20 ? 0xFF00FFu : kBlack; }),
                 "ERROR: Image 'x.png' has the colour #ff00ff at 10, 20, which is far from every "
                 "colour of palette colodore-vivid."},
        BadImage{"two colours become one",
                 image(160, 200, [](int x, int) { return x == 1 ? 0x6A372Bu : kRed; }),
                 "ERROR: Image 'x.png' has the colours #68372b (at 0, 0) and #6a372b (at 1, 0), "
                 "which both become colour 2 [red] of palette pepto.", 0},
        BadImage{"five colours", crowded(1, 5), lines_of(1, 0)},
        BadImage{"twenty-two crowded cells", crowded(22, 5),
                 lines_of(20, 0) + "\n... and 2 more cells."},
        BadImage{"no background",
                 image(160, 200, [](int x, int y) {
                   const int index = (y % 8) * 4 + x % 4;
                   if (y >= 8 || x >= 8 || index >= 4) return x < 4 ? kPepto[0] : kPepto[4];
                   return kPepto[x < 4 ? index : 4 + index];
                 }),
                 "ERROR: No colour of 'x.png' can be the background: it must be in every cell "
                 "that shows 4 colours, and none is (see col 0, row 0 and col 1, row 0)."},
        BadImage{"damaged", image(160, 200, [](int, int) { return kBlack; }).substr(0, 60),
                 "ERROR: Image 'x.png' is damaged (file ends early)."},
        BadImage{"text", "just some words\n",
                 "ERROR: File 'x.png' is neither a PNG image nor a Koala picture."},
        BadImage{"JPEG", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + std::string(4000, '\x11'),
                 "ERROR: File 'x.png' is neither a PNG image nor a Koala picture."},
        BadImage{"empty", "", "ERROR: File 'x.png' is neither a PNG image nor a Koala picture."}));

// The paint program's packing: a run of 4 or more equal bytes (or any $FE)
// becomes FE value count; a run of 256 is written with the count 0 when
// `zero_for_256`, and split at 255 otherwise.
std::string pack(const KoalaPicture& picture, bool zero_for_256) {
  std::string packed(reinterpret_cast<const char*>(picture.data()), 2);
  const std::size_t limit = zero_for_256 ? 256 : 255;
  for (std::size_t at = 2; at < picture.size();) {
    std::size_t run = 1;
    while (at + run < picture.size() && run < limit && picture[at + run] == picture[at]) ++run;
    if (run >= 4 || picture[at] == 0xFE) {
      packed += '\xFE';
      packed += static_cast<char>(picture[at]);
      packed += static_cast<char>(run == 256 ? 0 : run);
    } else {
      packed.append(run, static_cast<char>(picture[at]));
    }
    at += run;
  }
  return packed;
}

// A picture with long runs (for a packed file shorter than a whole one), a
// 300-byte run of zeros and some literal $FE bytes.
KoalaPicture runny_picture() {
  KoalaPicture picture = make_disc();
  for (std::size_t at = 1000; at < 1300; ++at) picture[at] = 0;
  picture[3000] = 0xFE;
  picture[3001] = 0xFE;
  return picture;
}

struct FormCase {
  const char* what;
  std::string file;
  KoalaPicture expected;
  std::string description;
};

std::ostream& operator<<(std::ostream& out, const FormCase& c) { return out << c.what; }

std::string bytes_of(const KoalaPicture& picture) {
  return std::string(reinterpret_cast<const char*>(picture.data()), picture.size());
}

KoalaPicture at_address(KoalaPicture picture, std::uint16_t address) {
  picture[0] = static_cast<std::uint8_t>(address);
  picture[1] = static_cast<std::uint8_t>(address >> 8);
  return picture;
}

class KoalaForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(KoalaForms, GiveTheWholePictureBack) {
  const FormCase& c = GetParam();
  const ImportResult result = import_bytes(c.file);
  ASSERT_TRUE(result.imported) << result.error;
  EXPECT_EQ(c.description, result.description);
  EXPECT_EQ("", differences(c.expected, result.picture));
}

// A packed file whose one run of count 0 only fits when read as empty.
std::string with_empty_run(const KoalaPicture& picture) {
  std::string packed = pack(picture, false);
  return packed.substr(0, 100) + std::string("\xFE\x77\x00", 3) + packed.substr(100);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, KoalaForms,
    ::testing::Values(
        FormCase{"whole, any address", bytes_of(at_address(pattern_picture(4), 0x4400)),
                 at_address(pattern_picture(4), 0x4400), "Koala picture, load address $4400"},
        FormCase{"without load address", bytes_of(pattern_picture(4)).substr(2),
                 at_address(pattern_picture(4), 0x6000),
                 "Koala picture without load address, $6000 put in front"},
        FormCase{"padded", bytes_of(pattern_picture(4)) + std::string("\0\x55\xAA", 3),
                 pattern_picture(4), "Koala picture with 3 bytes of padding, dropped"},
        FormCase{"packed, counts up to 255", pack(runny_picture(), false), runny_picture(),
                 "Packed Koala picture of " + std::to_string(pack(runny_picture(), false).size()) +
                     " bytes, load address $6000"},
        FormCase{"packed, a 256-byte run as count 0", pack(runny_picture(), true) + "trailing",
                 runny_picture(),
                 "Packed Koala picture of " +
                     std::to_string(pack(runny_picture(), true).size() + 8) +
                     " bytes, load address $6000, a run count of 0 read as 256"},
        FormCase{"packed, count 0 as an empty run", with_empty_run(runny_picture()),
                 runny_picture(),
                 "Packed Koala picture of " +
                     std::to_string(with_empty_run(runny_picture()).size()) +
                     " bytes, load address $6000, a run count of 0 read as empty"}));

TEST(KoalaForms, APackedFileThatDoesNotComeOutAtTheSizeIsNoPicture) {
  const std::string packed = pack(runny_picture(), false);
  for (const std::string& file : {packed.substr(0, packed.size() - 1),  // one byte short
                                  packed.substr(0, 50) + std::string("\xFE\x00\xFF", 3) +
                                      packed.substr(50)}) {  // 255 bytes too many
    const ImportResult result = import_bytes(file);
    EXPECT_FALSE(result.imported);
    EXPECT_EQ("ERROR: File 'x.png' is neither a PNG image nor a Koala picture.", result.error);
  }
}

// Cell 0 shows black (the background), white and red; cell 1 shows black
// and red only; every other cell is black.
TEST(BitPairs, AColourKeepsTheBitPairOfTheCellBeforeAndUnusedPairsRepeatIt) {
  const ImportResult result = import_bytes(image(160, 200, [](int x, int y) {
    if (y > 0 || x > 7) return kBlack;
    if (x == 1) return kWhite;
    return x == 2 || x == 5 ? kRed : kBlack;
  }));
  ASSERT_TRUE(result.imported) << result.error;
  const KoalaPicture& picture = result.picture;
  EXPECT_EQ(0, picture[kBackgroundOffset]);
  // Cell 0: white 01 and red 10 (colour-number order), 11 unused (0).
  EXPECT_EQ(0x12, picture[screen_colour_offset(0, 0)]);
  EXPECT_EQ(0b00011000, picture[cell_byte_offset(0, 0, 0)]);
  // Cell 1: red keeps 10, the unused pairs repeat cell 0's colours.
  EXPECT_EQ(0x12, picture[screen_colour_offset(1, 0)]);
  EXPECT_EQ(0b00100000, picture[cell_byte_offset(1, 0, 0)]);
  // And so on through every cell: one long run for a packer.
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column)
      ASSERT_EQ(0x12, picture[screen_colour_offset(column, row)]) << column << "," << row;
}

}  // namespace
}  // namespace bitmosaic
