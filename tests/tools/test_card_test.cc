#include "test_card.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

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
  std::set<std::vector<std::uint8_t>> cells;
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      std::vector<std::uint8_t> bytes;
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::uint8_t byte = card[cell_byte_offset(column, row, line)];
        bytes.push_back(byte);
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) {
          const int value = pixel_value(byte, pixel);
          values.insert(value);
          colours.insert(pixel_colour(card, column, row, value));
        }
      }
      bytes.push_back(card[screen_colour_offset(column, row)]);
      bytes.push_back(card[colour_ram_offset(column, row)]);
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
