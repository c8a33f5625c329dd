#include "base/colour_names.h"

#include <gtest/gtest.h>

namespace bitmosaic {
namespace {

TEST(ColourNames, OnlyTheLowFourBitsCount) {
  EXPECT_STREQ("black", colour_name(0));
  EXPECT_STREQ("light grey", colour_name(15));
  EXPECT_STREQ("black", colour_name(16));
  EXPECT_STREQ("yellow", colour_name(0x37));
  EXPECT_STREQ("light grey", colour_name(255));
}

}  // namespace
}  // namespace bitmosaic
