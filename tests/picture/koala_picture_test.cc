#include "picture/koala_picture.h"

#include <gtest/gtest.h>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

// Offsets worked out by hand from the file layout, not from the helpers.
struct CellOffsets {
  int column, row, line;
  std::size_t bitmap, screen, colour_ram;
};

class CellAddressing : public ::testing::TestWithParam<CellOffsets> {};

TEST_P(CellAddressing, FindsEveryByteOfACell) {
  const CellOffsets& c = GetParam();
  EXPECT_EQ(c.bitmap, cell_byte_offset(c.column, c.row, c.line));
  EXPECT_EQ(c.bitmap, pixel_line_byte_offset(c.column, c.row * 8 + c.line));
  EXPECT_EQ(c.screen, screen_colour_offset(c.column, c.row));
  EXPECT_EQ(c.colour_ram, colour_ram_offset(c.column, c.row));
}

INSTANTIATE_TEST_SUITE_P(
    CornersAndEdges, CellAddressing,
    ::testing::Values(CellOffsets{0, 0, 0, 2, 8002, 9002},
                      CellOffsets{0, 0, 7, 9, 8002, 9002},
                      CellOffsets{1, 0, 0, 10, 8003, 9003},
                      CellOffsets{39, 0, 0, 314, 8041, 9041},
                      CellOffsets{0, 1, 0, 322, 8042, 9042},
                      CellOffsets{0, 24, 0, 7682, 8962, 9962},
                      CellOffsets{39, 24, 7, 8001, 9001, 10001},
                      CellOffsets{5, 5, 3, 1645, 8207, 9207}));

TEST(PixelLineAddressing, LinesOfOneColumnStepThroughCellsThenRows) {
  // Line 7 is the last of the first cell row, line 8 the first of the next.
  EXPECT_EQ(2u, pixel_line_byte_offset(0, 0));
  EXPECT_EQ(9u, pixel_line_byte_offset(0, 7));
  EXPECT_EQ(322u, pixel_line_byte_offset(0, 8));
  EXPECT_EQ(8001u, pixel_line_byte_offset(39, 199));
}

TEST(PixelValues, LeftmostPixelIsInTheTopBits) {
  const std::uint8_t byte = 0x1B;  // pixels 0, 1, 2, 3 from the left
  for (int pixel = 0; pixel < 4; ++pixel) EXPECT_EQ(pixel, pixel_value(byte, pixel));
  EXPECT_EQ(0xC0, pixel_mask(0));
  EXPECT_EQ(0x03, pixel_mask(3));
}

TEST(PixelColours, EachValueTakesItsOwnColourSource) {
  KoalaPicture picture{};
  picture[kBackgroundOffset] = 0xF7;  // high bits are not displayed
  picture[screen_colour_offset(3, 4)] = 0x5A;
  picture[colour_ram_offset(3, 4)] = 0xE2;
  EXPECT_EQ(7, pixel_colour(picture, 3, 4, 0));
  EXPECT_EQ(5, pixel_colour(picture, 3, 4, 1));
  EXPECT_EQ(10, pixel_colour(picture, 3, 4, 2));
  EXPECT_EQ(2, pixel_colour(picture, 3, 4, 3));
}

TEST(LoadAddress, IsLittleEndian) {
  KoalaPicture picture{};
  picture[0] = 0x01;
  picture[1] = 0x60;
  EXPECT_EQ(0x6001, load_address(picture));
}

TEST(CopyCell, MovesExactlyTheTenBytesOfOneCell) {
  const KoalaPicture from = pattern_picture(1);
  KoalaPicture to = pattern_picture(2);
  KoalaPicture expected = to;
  for (int line = 0; line < 8; ++line)
    expected[2 + 320 * 24 + 8 * 39 + line] = from[2 + 320 * 0 + 8 * 1 + line];
  expected[8002 + 40 * 24 + 39] = from[8002 + 1];
  expected[9002 + 40 * 24 + 39] = from[9002 + 1];
  copy_cell(to, 39, 24, from, 1, 0);
  EXPECT_EQ("", differences(expected, to));
}

TEST(ClearCellBitmap, KeepsColoursAndNeighbours) {
  KoalaPicture picture = pattern_picture();
  KoalaPicture expected = picture;
  for (int line = 0; line < 8; ++line) expected[2 + 320 * 2 + 8 * 3 + line] = 0;
  clear_cell_bitmap(picture, 3, 2);
  EXPECT_EQ("", differences(expected, picture));
}

}  // namespace
}  // namespace bitmosaic
