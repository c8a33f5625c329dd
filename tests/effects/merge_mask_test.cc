#include "effects/merge_mask.h"

#include <gtest/gtest.h>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;

MergeLines merge_settings(bool plus) {
  return plus ? MergeLines::non_empty_only : MergeLines::all;
}

MaskKeeps mask_settings(bool inverted) {
  return inverted ? MaskKeeps::unset_pixels : MaskKeeps::set_pixels;
}

KoalaPicture with_empty_bitmap(KoalaPicture picture) {
  for (std::size_t at = 2; at < 8002; ++at) picture[at] = 0;
  return picture;
}

TEST(Merge, AnEmptySecondBitmapChangesNothing) {
  for (const bool plus : {false, true}) {
    KoalaPicture working = pattern_picture(1);
    run_merge(merge_settings(plus), working, with_empty_bitmap(pattern_picture(2)));
    EXPECT_EQ("", differences(pattern_picture(1), working)) << "plus " << plus;
  }
}

TEST(Merge, ThePictureMergedWithItselfStaysTheSame) {
  for (const bool plus : {false, true}) {
    KoalaPicture working = pattern_picture(1);
    run_merge(merge_settings(plus), working, pattern_picture(1));
    EXPECT_EQ("", differences(pattern_picture(1), working));
  }
}

struct MergeCase {
  bool plus;
  int column, row;
};

class MergeOneCell : public ::testing::TestWithParam<MergeCase> {};

// The second picture has one cell with three empty lines; everything else
// of it is empty.
TEST_P(MergeOneCell, ReplacesTheCellWholeOrKeepsItsEmptyLines) {
  const MergeCase& c = GetParam();
  const KoalaPicture first = pattern_picture(1);
  KoalaPicture second = with_empty_bitmap(pattern_picture(2));
  const std::size_t cell = 2 + 320 * c.row + 8 * c.column;
  const std::uint8_t lines[8] = {0x00, 0x41, 0x00, 0xFF, 0x03, 0x00, 0xC0, 0x10};
  for (int line = 0; line < 8; ++line) second[cell + line] = lines[line];

  KoalaPicture working = first;
  run_merge(merge_settings(c.plus), working, second);

  KoalaPicture expected = first;
  for (int line = 0; line < 8; ++line)
    expected[cell + line] = (lines[line] == 0 && c.plus) ? first[cell + line] : lines[line];
  expected[8002 + 40 * c.row + c.column] = second[8002 + 40 * c.row + c.column];
  expected[9002 + 40 * c.row + c.column] = second[9002 + 40 * c.row + c.column];
  EXPECT_EQ("", differences(expected, working));
}

INSTANTIATE_TEST_SUITE_P(Corners, MergeOneCell,
                         ::testing::Values(MergeCase{false, 0, 0}, MergeCase{true, 0, 0},
                                           MergeCase{false, 39, 24}, MergeCase{true, 39, 24},
                                           MergeCase{false, 0, 24}, MergeCase{true, 39, 0}));

struct MaskByte {
  std::uint8_t working, mask, masked, inverted;
};

class MaskPixels : public ::testing::TestWithParam<MaskByte> {};

TEST_P(MaskPixels, KeepPixelsWhereTheMaskHasThemOrWhereItHasNone) {
  const MaskByte& b = GetParam();
  for (const bool inverted : {false, true}) {
    KoalaPicture working = pattern_picture(1);
    KoalaPicture mask = pattern_picture(2);
    working[4000] = b.working;
    mask[4000] = b.mask;
    KoalaPicture expected = working;
    run_mask(mask_settings(inverted), working, mask);
    EXPECT_EQ(inverted ? b.inverted : b.masked, working[4000]) << "inverted " << inverted;
    // Everything outside the bitmap is never touched.
    for (std::size_t at : {0u, 1u, 8002u, 9002u, 10001u, 10002u})
      EXPECT_EQ(expected[at], working[at]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, MaskPixels,
    ::testing::Values(MaskByte{0xFF, 0x0C, 0x0C, 0xF3}, MaskByte{0xFF, 0x00, 0x00, 0xFF},
                      MaskByte{0xFF, 0xFF, 0xFF, 0x00}, MaskByte{0xE4, 0x40, 0xC0, 0x24},
                      MaskByte{0x1B, 0x81, 0x03, 0x18}, MaskByte{0x00, 0xFF, 0x00, 0x00}));

TEST(Mask, WithItselfKeepsEverythingAndInvertedClearsTheBitmap) {
  KoalaPicture masked = pattern_picture(1);
  run_mask(mask_settings(false), masked, pattern_picture(1));
  EXPECT_EQ("", differences(pattern_picture(1), masked));
  KoalaPicture inverted = pattern_picture(1);
  run_mask(mask_settings(true), inverted, pattern_picture(1));
  EXPECT_EQ("", differences(with_empty_bitmap(pattern_picture(1)), inverted));
}

TEST(Mask, AnEmptyMaskClearsTheBitmapAndInvertedChangesNothing) {
  const KoalaPicture empty = with_empty_bitmap(pattern_picture(2));
  KoalaPicture masked = pattern_picture(1);
  run_mask(mask_settings(false), masked, empty);
  EXPECT_EQ("", differences(with_empty_bitmap(pattern_picture(1)), masked));
  KoalaPicture inverted = pattern_picture(1);
  run_mask(mask_settings(true), inverted, empty);
  EXPECT_EQ("", differences(pattern_picture(1), inverted));
}

}  // namespace
}  // namespace bitmosaic
