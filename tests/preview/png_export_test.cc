#include "preview/png_export.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/pattern_picture.h"
#include "support/png_decode.h"
#include "support/run_tool.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::decode_png;
using testing::pattern_picture;
using testing::read_file;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_picture;

// The palette as published, black to light grey.
const char* const kPaletteHex[16] = {"000000", "FFFFFF", "68372B", "70A4B2", "6F3D86", "588D43",
                                     "352879", "B8C76F", "6F4F25", "433900", "9A6759", "444444",
                                     "6C6C6C", "9AD284", "6C5EB5", "959595"};

std::uint32_t palette_rgb(int colour) {
  return static_cast<std::uint32_t>(std::stoul(kPaletteHex[colour], nullptr, 16));
}

// The colour the machine shows at multicolour pixel (x, y), worked out from
// the file layout directly.
int expected_colour(const KoalaPicture& p, int x, int y) {
  const int column = x / 4;
  const int row = y / 8;
  const int bits = p[2 + 320 * row + 8 * column + y % 8] >> (6 - 2 * (x % 4)) & 3;
  switch (bits) {
    case 0: return p[10002] & 15;
    case 1: return p[8002 + 40 * row + column] >> 4;
    case 2: return p[8002 + 40 * row + column] & 15;
    default: return p[9002 + 40 * row + column] & 15;
  }
}

void expect_every_pixel(const KoalaPicture& picture, const std::string& file) {
  const testing::DecodedPng decoded = decode_png(file);
  ASSERT_EQ(320u, decoded.width);
  ASSERT_EQ(200u, decoded.height);
  int wrong = 0;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      const std::uint8_t* pixel = &decoded.rgb[3 * (320 * y + x)];
      const std::uint32_t rgb = pixel[0] << 16 | pixel[1] << 8 | pixel[2];
      if (rgb != palette_rgb(expected_colour(picture, x / 2, y)) && wrong++ < 5)
        ADD_FAILURE() << "pixel " << x << "," << y;
    }
  }
  EXPECT_EQ(0, wrong);
}

std::string as_string(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(PngExport, EveryPixelOfTheTestCardShowsItsColour) {
  const KoalaPicture card = make_test_card();
  const auto png = encode_png(card);
  ASSERT_TRUE(png.has_value());
  expect_every_pixel(card, as_string(*png));
}

TEST(PngExport, HighBitsOfBackgroundAndColourRamAreNotShown) {
  KoalaPicture picture = pattern_picture(7);
  picture[10002] = 0xA6;
  for (std::size_t at = 9002; at < 10002; ++at) picture[at] |= 0xF0;
  const auto png = encode_png(picture);
  ASSERT_TRUE(png.has_value());
  expect_every_pixel(picture, as_string(*png));
}

TEST(PngExport, IsAFourBitPaletteImageWithTheC64Palette) {
  const auto png = encode_png(make_test_card());
  ASSERT_TRUE(png.has_value());
  const std::string file = as_string(*png);
  ASSERT_GT(file.size(), 33u + 8u + 48u);
  EXPECT_EQ("\x89PNG\r\n\x1a\n", file.substr(0, 8));
  EXPECT_EQ("IHDR", file.substr(12, 4));
  EXPECT_EQ(std::string("\0\0\x01\x40\0\0\0\xC8", 8), file.substr(16, 8));  // 320 x 200
  EXPECT_EQ(4, file[24]);  // bit depth
  EXPECT_EQ(3, file[25]);  // palette colour type
  EXPECT_EQ(std::string("\0\0\0\x30PLTE", 8), file.substr(33, 8));
  for (int colour = 0; colour < 16; ++colour) {
    const std::uint32_t rgb = palette_rgb(colour);
    const std::string entry = file.substr(41 + 3 * colour, 3);
    EXPECT_EQ(rgb >> 16, static_cast<std::uint8_t>(entry[0])) << colour;
    EXPECT_EQ((rgb >> 8) & 0xFF, static_cast<std::uint8_t>(entry[1])) << colour;
    EXPECT_EQ(rgb & 0xFF, static_cast<std::uint8_t>(entry[2])) << colour;
  }
}

class PngCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.directory = dir_.path();
    write_picture(dir_.file("pic.kla"), make_test_card());
  }
  TempDir dir_;
  ToolOptions options_;
};

TEST_F(PngCommand, NamesTheDestinationAfterTheSourceAndWritesThePicture) {
  const ToolResult result = run_tool({"png", "pic.kla"}, options_);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Destination file set to 'pic.png'.\nSaving...\nDone.\n", result.out);
  const auto file = read_file(dir_.file("pic.png"));
  ASSERT_TRUE(file.has_value());
  expect_every_pixel(make_test_card(), *file);
}

TEST_F(PngCommand, ANamedDestinationAndTheOpener) {
  std::filesystem::create_directory(dir_.file("bin"));
  testing::write_file(dir_.file("bin/xdg-open"),
                      "#!/bin/sh\necho \"$1\" > '" + dir_.file("opened") + "'\n");
  std::filesystem::permissions(dir_.file("bin/xdg-open"), std::filesystem::perms::owner_all);
  options_.environment["PATH"] = dir_.file("bin") + ":/usr/bin:/bin";
  const ToolResult result = run_tool({"png", "pic.kla", "-r", "view.png"}, options_);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Saving...\nDone.\n", result.out);
  EXPECT_EQ("view.png\n", read_file(dir_.file("opened")));
}

TEST_F(PngCommand, AFailedSaveIsAnError) {
  const ToolResult result = run_tool({"png", "pic.kla", "/dev/full"}, options_);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File '/dev/full' could not be written.", result.err);
  EXPECT_EQ("Saving...\n" + testing::error_usage(), result.out);
}

TEST_F(PngCommand, TakesNoNumbersAndNoSecondPicture) {
  const ToolResult result = run_tool({"png", "pic.kla", "a.png", "b.png"}, options_);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Bad argument b.png\n\n", result.err);
  const ToolResult numbered = run_tool({"png", "5", "pic.kla"}, options_);
  EXPECT_EQ(1, numbered.status);
  EXPECT_EQ("ERROR: File '5' not found.", numbered.err);  // 5 is the source, pic.kla the destination
}

}  // namespace
}  // namespace bitmosaic
