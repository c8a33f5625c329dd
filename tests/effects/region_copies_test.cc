#include "effects/region_copies.h"

#include <gtest/gtest.h>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

const KoalaPicture kFirst = pattern_picture(1);
const KoalaPicture kSecond = pattern_picture(2);

// Copies cell (fc, fr) of kSecond to (tc, tr) of `picture`, by the layout.
void put_cell(KoalaPicture& picture, int tc, int tr, int fc, int fr) {
  for (int line = 0; line < 8; ++line)
    picture[2 + 320 * tr + 8 * tc + line] = kSecond[2 + 320 * fr + 8 * fc + line];
  picture[8002 + 40 * tr + tc] = kSecond[8002 + 40 * fr + fc];
  picture[9002 + 40 * tr + tc] = kSecond[9002 + 40 * fr + fc];
}

struct CopyCase {
  int x1, y1, x2, y2;
};

CellRectangle settings_for(const CopyCase& c) { return {c.x1, c.y1, c.x2, c.y2}; }

KoalaPicture expected_copy(const CopyCase& c, bool from_corner) {
  KoalaPicture expected = kFirst;
  for (int row = c.y1; row <= c.y2; ++row)
    for (int column = c.x1; column <= c.x2; ++column)
      put_cell(expected, column, row, from_corner ? column - c.x1 : column,
               from_corner ? row - c.y1 : row);
  return expected;
}

class RegionCopies : public ::testing::TestWithParam<CopyCase> {};

TEST_P(RegionCopies, ReplaceTakesTheSameCells) {
  const CopyCase& c = GetParam();
  KoalaPicture working = kFirst;
  ::testing::internal::CaptureStdout();
  run_replace(settings_for(c), working, kSecond);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());  // the driver prints progress
  EXPECT_EQ("", differences(expected_copy(c, false), working));
}

TEST_P(RegionCopies, InsertTakesCellsFromTheTopLeftCorner) {
  const CopyCase& c = GetParam();
  KoalaPicture working = kFirst;
  ::testing::internal::CaptureStdout();
  run_insert(settings_for(c), working, kSecond);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ("", differences(expected_copy(c, true), working));
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, RegionCopies,
    ::testing::Values(CopyCase{10, 5, 28, 20},   // insert 10 5 28 20
                      CopyCase{0, 10, 39, 24},   // replacev / insertv 10
                      CopyCase{20, 0, 39, 24},   // replaceh / inserth 20
                      CopyCase{39, 24, 39, 24},  // the last cell
                      CopyCase{0, 0, 39, 24},    // everything
                      CopyCase{1, 0, 39, 24},    // inserth 1
                      CopyCase{28, 5, 10, 20}));  // reversed: nothing

TEST(RegionCopies, ReplacingEverythingKeepsLoadAddressAndBackground) {
  KoalaPicture working = kFirst;
  run_replace(settings_for({0, 0, 39, 24}), working, kSecond);
  KoalaPicture expected = kSecond;
  expected[0] = kFirst[0];
  expected[1] = kFirst[1];
  expected[10002] = kFirst[10002];
  EXPECT_EQ("", differences(expected, working));
}

TEST(RegionCopies, InsertVerticalPutsTheTopRowsOfTheSecondPictureBelow) {
  KoalaPicture working = kFirst;
  run_insert(settings_for({0, 6, 39, 24}), working, kSecond);
  // Row 6 now holds the second picture's row 0; row 24 its row 18.
  EXPECT_EQ(kSecond[2], working[2 + 320 * 6]);
  EXPECT_EQ(kSecond[2 + 320 * 18 + 8 * 39 + 7], working[8001]);
  EXPECT_EQ(kSecond[8002], working[8002 + 240]);
  EXPECT_EQ(kFirst[2 + 320 * 5], working[2 + 320 * 5]);
}

TEST(ColCopy, TakesTheTailFromOffset7002AndNothingBefore) {
  KoalaPicture working = kFirst;
  ::testing::internal::CaptureStdout();
  run_colcopy(working, kSecond);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  for (std::size_t at = 0; at < 7002; ++at) ASSERT_EQ(kFirst[at], working[at]) << at;
  for (std::size_t at = 7002; at < 10003; ++at) ASSERT_EQ(kSecond[at], working[at]) << at;
}

}  // namespace
}  // namespace bitmosaic
