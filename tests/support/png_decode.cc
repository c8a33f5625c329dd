#include "support/png_decode.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>

namespace bitmosaic::testing {

DecodedPng decode_png(const std::string& file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  DecodedPng decoded;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return decoded;
  image.format = PNG_FORMAT_RGB;
  decoded.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, decoded.rgb.data(), 0, nullptr)) return {};
  decoded.width = image.width;
  decoded.height = image.height;
  return decoded;
}

namespace {

// The palette as published, black to light grey.
constexpr const char* kPaletteHex[16] = {"000000", "FFFFFF", "68372B", "70A4B2",
                                         "6F3D86", "588D43", "352879", "B8C76F",
                                         "6F4F25", "433900", "9A6759", "444444",
                                         "6C6C6C", "9AD284", "6C5EB5", "959595"};

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

}  // namespace

std::uint32_t palette_rgb(int colour) {
  return static_cast<std::uint32_t>(std::stoul(kPaletteHex[colour], nullptr, 16));
}

void expect_png_shows(const KoalaPicture& picture, const std::string& file) {
  const DecodedPng decoded = decode_png(file);
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

}  // namespace bitmosaic::testing
