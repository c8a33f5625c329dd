#include "effects/moves.h"

#include <gtest/gtest.h>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

const KoalaPicture kSource = pattern_picture(1);

// The expected result built by the layout: load address and background of
// the source, each source cell at its shifted place, zero elsewhere.
KoalaPicture shifted(int dx, int dy) {
  KoalaPicture expected{};
  expected[0] = kSource[0];
  expected[1] = kSource[1];
  expected[10002] = kSource[10002];
  for (int row = 0; row < 25; ++row) {
    for (int column = 0; column < 40; ++column) {
      const int tc = column + dx;
      const int tr = row + dy;
      if (tc < 0 || tc > 39 || tr < 0 || tr > 24) continue;
      for (int line = 0; line < 8; ++line)
        expected[2 + 320 * tr + 8 * tc + line] = kSource[2 + 320 * row + 8 * column + line];
      expected[8002 + 40 * tr + tc] = kSource[8002 + 40 * row + column];
      expected[9002 + 40 * tr + tc] = kSource[9002 + 40 * row + column];
    }
  }
  return expected;
}

struct Offset {
  int dx, dy;
};

class Moves : public ::testing::TestWithParam<Offset> {};

TEST_P(Moves, ShiftCellsAndKeepLoadAddressAndBackground) {
  const Offset& o = GetParam();
  KoalaPicture working{};
  run_move(o.dx, o.dy, working, kSource);
  EXPECT_EQ("", differences(shifted(o.dx, o.dy), working));
}

INSTANTIATE_TEST_SUITE_P(Offsets, Moves,
                         ::testing::Values(Offset{0, 0}, Offset{5, -2}, Offset{0, 4},
                                           Offset{0, -3}, Offset{39, 0}, Offset{-39, 0},
                                           Offset{0, 24}, Offset{0, -24}, Offset{39, 24},
                                           Offset{-39, -24}, Offset{1, 1}));

TEST(Moves, ZeroOffsetCopiesTheSource) {
  KoalaPicture working{};
  run_move(0, 0, working, kSource);
  EXPECT_EQ("", differences(kSource, working));
}

TEST(Moves, UncoveredCellsAreZeroEverywhere) {
  KoalaPicture working{};
  run_move(0, 1, working, kSource);
  for (int column = 0; column < 40; ++column) {
    EXPECT_EQ(0, working[8002 + column]);
    EXPECT_EQ(0, working[9002 + column]);
    for (int line = 0; line < 8; ++line) EXPECT_EQ(0, working[2 + 8 * column + line]);
  }
  EXPECT_EQ(kSource[0], working[0]);
  EXPECT_EQ(kSource[10002], working[10002]);
}

TEST(Moves, TheFarthestMoveKeepsOnlyTheOppositeCorner) {
  KoalaPicture working{};
  run_move(39, 24, working, kSource);
  EXPECT_EQ(kSource[2], working[8001 - 7]);
  EXPECT_EQ(kSource[8002], working[9001]);
  EXPECT_EQ(kSource[9002], working[10001]);
  EXPECT_EQ(0, working[2]);
}

}  // namespace
}  // namespace bitmosaic
