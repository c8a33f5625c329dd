#include "effects/cell_clearing.h"

#include <gtest/gtest.h>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

struct Rectangle {
  int x1, y1, x2, y2;
};

CellRectangle cells(const Rectangle& r) { return {r.x1, r.y1, r.x2, r.y2}; }

// The picture with the bitmap of every cell for which `clear` holds zeroed.
template <typename Predicate>
KoalaPicture with_cells_cleared(Predicate clear) {
  KoalaPicture expected = pattern_picture();
  for (int row = 0; row < 25; ++row)
    for (int column = 0; column < 40; ++column)
      if (clear(column, row))
        for (int line = 0; line < 8; ++line) expected[2 + 320 * row + 8 * column + line] = 0;
  return expected;
}

bool inside(const Rectangle& r, int column, int row) {
  return column >= r.x1 && column <= r.x2 && row >= r.y1 && row <= r.y2;
}

class CellClearing : public ::testing::TestWithParam<Rectangle> {};

TEST_P(CellClearing, DelClearsTheCellsInsideOnly) {
  const Rectangle r = GetParam();
  KoalaPicture working = pattern_picture();
  ::testing::internal::CaptureStdout();
  run_del(cells(r), working);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());  // the driver prints progress
  EXPECT_EQ("", differences(with_cells_cleared([&](int c, int w) { return inside(r, c, w); }),
                            working));
}

TEST_P(CellClearing, CropClearsTheCellsOutsideOnly) {
  const Rectangle r = GetParam();
  KoalaPicture working = pattern_picture();
  ::testing::internal::CaptureStdout();
  run_crop(cells(r), working);
  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ("", differences(with_cells_cleared([&](int c, int w) { return !inside(r, c, w); }),
                            working));
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, CellClearing,
    ::testing::Values(Rectangle{10, 5, 28, 10},  // the usual example
                      Rectangle{0, 0, 39, 24},   // the whole picture
                      Rectangle{0, 0, 0, 0},     // top-left cell only
                      Rectangle{39, 0, 39, 0},   // top-right cell
                      Rectangle{0, 24, 0, 24},   // bottom-left cell
                      Rectangle{39, 24, 39, 24},  // bottom-right cell
                      Rectangle{10, 0, 39, 24},  // del 10 pic.kla
                      Rectangle{28, 5, 10, 10},  // reversed columns
                      Rectangle{10, 10, 28, 5}));  // reversed rows

TEST(CellClearing, ReversedRectangleLeavesDelNothingAndCropEverything) {
  const CellRectangle reversed = cells({20, 0, 10, 24});
  KoalaPicture deleted = pattern_picture();
  KoalaPicture cropped = pattern_picture();
  run_del(reversed, deleted);
  run_crop(reversed, cropped);
  EXPECT_EQ(pattern_picture(), deleted);
  for (std::size_t at = 2; at < 8002; ++at) ASSERT_EQ(0, cropped[at]) << at;
  for (std::size_t at = 8002; at < 10003; ++at) ASSERT_EQ(pattern_picture()[at], cropped[at]);
}

}  // namespace
}  // namespace bitmosaic
