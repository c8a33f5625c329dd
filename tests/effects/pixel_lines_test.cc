#include "effects/pixel_lines.h"

#include <gtest/gtest.h>

#include <set>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

struct LineCase {
  int from, to, step;
  std::set<int> blanked;  // written out, not computed
};

class DeleteLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(DeleteLines, BlanksExactlyTheSelectedLinesInEveryColumn) {
  const LineCase& c = GetParam();
  KoalaPicture working = pattern_picture();
  ::testing::internal::CaptureStdout();
  run_delv(c.from, c.to, c.step, working);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());  // the driver prints progress
  KoalaPicture expected = pattern_picture();
  for (const int y : c.blanked)
    for (int column = 0; column < 40; ++column)
      expected[2 + 320 * (y / 8) + (y % 8) + 8 * column] = 0;
  EXPECT_EQ("", differences(expected, working));
}

std::set<int> range(int from, int to, int step = 1) {
  std::set<int> lines;
  for (int y = from; y <= to; y += step) lines.insert(y);
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, DeleteLines,
    ::testing::Values(LineCase{0, 0, 1, {0}}, LineCase{7, 8, 1, {7, 8}},
                      LineCase{199, 199, 1, {199}}, LineCase{10, 13, 1, {10, 11, 12, 13}},
                      LineCase{50, 100, 1, range(50, 100)},
                      LineCase{50, 100, 2, range(50, 100, 2)},
                      LineCase{0, 199, 1, range(0, 199)},
                      LineCase{0, 199, 99, {0, 99, 198}},
                      LineCase{6, 20, 7, {6, 13, 20}}));

TEST(DeleteLines, FiftyToHundredStepTwoIsTwentySixLines) {
  EXPECT_EQ(26u, range(50, 100, 2).size());
}

TEST(Filter, KeepsACheckerboardOfPixelsAndPrintsNothing) {
  KoalaPicture working{};
  for (std::size_t at = 0; at < working.size(); ++at) working[at] = 0xFF;
  ::testing::internal::CaptureStdout();
  run_filter(working);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  for (int y = 0; y < 200; ++y)
    for (int column = 0; column < 40; ++column)
      ASSERT_EQ(y % 2 == 0 ? 0xCC : 0x33, working[2 + 320 * (y / 8) + (y % 8) + 8 * column])
          << "line " << y << " column " << column;
  EXPECT_EQ(0xFF, working[0]);
  EXPECT_EQ(0xFF, working[1]);
  for (std::size_t at = 8002; at < working.size(); ++at) ASSERT_EQ(0xFF, working[at]);
}

TEST(Filter, IsIdempotentAndOnlyEverClearsBits) {
  KoalaPicture once = pattern_picture();
  run_filter(once);
  KoalaPicture twice = once;
  run_filter(twice);
  EXPECT_EQ("", differences(once, twice));
  const KoalaPicture source = pattern_picture();
  for (std::size_t at = 0; at < source.size(); ++at)
    ASSERT_EQ(once[at], source[at] & once[at]) << at;
}

}  // namespace
}  // namespace bitmosaic
