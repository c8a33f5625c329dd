#include "test_card.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

#include "support/pattern_picture.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

TEST(TestCard, CommittedFileIsWhatTheGeneratorMakes) {
  const auto committed =
      testing::read_picture(testing::source_dir() + "/examples/testcard.kla");
  ASSERT_TRUE(committed.has_value());
  EXPECT_EQ("", testing::differences(make_test_card(), *committed));
}

TEST(TestCard, CommittedDiscIsWhatTheGeneratorMakes) {
  const auto committed = testing::read_picture(testing::source_dir() + "/examples/disc.kla");
  ASSERT_TRUE(committed.has_value());
  EXPECT_EQ("", testing::differences(make_disc(), *committed));
}

TEST(TestCard, ShowsEveryColourAndPixelValueAndNoTwoCellsAlike) {
  const KoalaPicture card = make_test_card();
  std::set<int> colours;
  std::set<int> values;
  // A cell's eight bitmap bytes and its two colour bytes.
  using CellBytes = std::array<std::uint8_t, kLinesPerCell + 2>;
  std::set<CellBytes> cells;
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      CellBytes bytes{};
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::uint8_t byte = card[cell_byte_offset(column, row, line)];
        bytes[static_cast<std::size_t>(line)] = byte;
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) {
          const int value = pixel_value(byte, pixel);
          values.insert(value);
          colours.insert(pixel_colour(card, column, row, value));
        }
      }
      bytes[kLinesPerCell] = card[screen_colour_offset(column, row)];
      bytes[kLinesPerCell + 1] = card[colour_ram_offset(column, row)];
      cells.insert(bytes);
    }
  }
  EXPECT_EQ(16u, colours.size());
  EXPECT_EQ(4u, values.size());
  EXPECT_EQ(1000u, cells.size());
  EXPECT_EQ(0x6000, load_address(card));
}

}  // namespace
}  // namespace bitmosaic
