#include "preview/png_export.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <tuple>

#include "support/pattern_picture.h"
#include "support/png_decode.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::decode_png;
using testing::expect_png_shows;
using testing::palette_rgb;
using testing::pattern_picture;

std::string as_string(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(PngExport, EveryPixelOfTheTestCardShowsItsColour) {
  const KoalaPicture card = make_test_card();
  const auto png = encode_png(card);
  ASSERT_TRUE(png.has_value());
  expect_png_shows(card, as_string(*png));
}

TEST(PngExport, HighBitsOfBackgroundAndColourRamAreNotShown) {
  KoalaPicture picture = pattern_picture(7);
  picture[10002] = 0xA6;
  for (std::size_t at = 9002; at < 10002; ++at) picture[at] |= 0xF0;
  const auto png = encode_png(picture);
  ASSERT_TRUE(png.has_value());
  expect_png_shows(picture, as_string(*png));
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

// Black everywhere but for the first cell's colour-RAM pixels: the first
// and the last colour of a palette.
TEST(PngExport, WritesEveryPaletteWithItsFirstAndLastColour) {
  KoalaPicture picture{};
  picture[cell_byte_offset(0, 0, 0)] = 0xFF;   // four pixels of value 3
  picture[colour_ram_offset(0, 0)] = 15;
  for (const Palette& palette : c64_palettes()) {
    const auto png = encode_png(picture, palette.colours);
    ASSERT_TRUE(png.has_value());
    const testing::DecodedPng decoded = decode_png(as_string(*png));
    ASSERT_EQ(320u, decoded.width) << palette.name;
    const auto rgb_at = [&](int x, int y) {
      const std::uint8_t* p = &decoded.rgb[3 * (320 * static_cast<std::size_t>(y) + x)];
      return Rgb{p[0], p[1], p[2]};
    };
    for (const auto& [x, y, colour] : {std::tuple{0, 0, 15}, std::tuple{319, 199, 0}}) {
      const Rgb shown = rgb_at(x, y);
      const Rgb& wanted = palette.colours[static_cast<std::size_t>(colour)];
      EXPECT_EQ(wanted.red, shown.red) << palette.name << " colour " << colour;
      EXPECT_EQ(wanted.green, shown.green) << palette.name << " colour " << colour;
      EXPECT_EQ(wanted.blue, shown.blue) << palette.name << " colour " << colour;
    }
  }
}

}  // namespace
}  // namespace bitmosaic
