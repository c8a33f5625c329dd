#include "convert/convert_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "convert/perceived_error.h"
#include "image/colour_space.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kHires = std::size_t{LinearImage::kWidth} * LinearImage::kHeight;

// What a picture shows, as the image a converter would be handed.
LinearImage image_of(const ColourGrid& grid, const C64Colours& palette) {
  LinearImage image;
  image.rgb.resize(3 * kHires);
  image.outside.assign(kHires, 0);
  for (std::size_t h = 0; h < kHires; ++h) {
    const Rgb c = palette[grid[h / 2]];
    image.rgb[3 * h] = srgb_to_linear(c.red);
    image.rgb[3 * h + 1] = srgb_to_linear(c.green);
    image.rgb[3 * h + 2] = srgb_to_linear(c.blue);
  }
  return image;
}

LinearImage flat_image(float red, float green, float blue) {
  LinearImage image;
  image.outside.assign(kHires, 0);
  for (std::size_t h = 0; h < kHires; ++h) image.rgb.insert(image.rgb.end(), {red, green, blue});
  return image;
}

std::set<int> distinct_colours(const ColourGrid& grid) { return {grid.begin(), grid.end()}; }

// The result is a standard Koala picture that shows exactly the colours the
// converter says it chose.
void expect_consistent(const ConvertedPicture& result) {
  EXPECT_EQ(0x6000, load_address(result.picture));
  EXPECT_EQ(result.background, result.picture[kBackgroundOffset]);
  EXPECT_TRUE(shown_colours(result.picture) == result.colours);
}

// Four colours in every cell, one of them (brown) in all: only a brown
// background lets every cell keep its colours.
ColourGrid four_colour_cells() {
  constexpr int kOthers[15] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
  ColourGrid grid{};
  for (int cell = 0; cell < kCellColumns * kCellRows; ++cell) {
    const int colours[4] = {9, kOthers[cell % 15], kOthers[(cell + 4) % 15],
                            kOthers[(cell + 9) % 15]};
    for (int j = 0; j < 32; ++j) {
      const int x = cell % kCellColumns * kPixelsPerByte + j % kPixelsPerByte;
      const int y = cell / kCellColumns * kLinesPerCell + j / kPixelsPerByte;
      grid[static_cast<std::size_t>(y * kPixelColumns + x)] =
          static_cast<std::uint8_t>(colours[(j / 3 + cell) % 4]);
    }
  }
  return grid;
}

TEST(ConvertPicture, LegalPictureComesBackPixelForPixel) {
  // With nothing to dither, the plain mode and the default keep every
  // pixel of a picture the C64 can show, and find the one background that
  // makes it possible.
  struct Case {
    const char* name;
    ColourGrid grid;
    int background;  // -1: several backgrounds serve
  };
  const Case cases[] = {
      {"test card", shown_colours(make_test_card()), -1},
      {"four colours a cell", four_colour_cells(), 9},
  };
  const CellMasks masks = cell_masks(cases[1].grid);
  ASSERT_TRUE(std::all_of(masks.begin(), masks.end(),
                          [](std::uint16_t m) { return colours_in(m) == 4 && (m >> 9 & 1); }));
  for (const Case& c : cases)
    for (const Dither mode : {Dither::none, kDefaultDither}) {
      const ConvertedPicture result =
          convert_picture(image_of(c.grid, default_palette()), default_palette(), {mode, -1});
      expect_consistent(result);
      EXPECT_TRUE(result.colours == c.grid) << c.name << ", mode " << static_cast<int>(mode);
      if (c.background >= 0) {
        EXPECT_EQ(c.background, result.background) << c.name;
      }
    }
}

TEST(ConvertPicture, FlatImageGivesOneColourEverywhere) {
  // A palette colour stays itself in every mode; any other colour, without
  // dithering, becomes one colour everywhere.
  const Rgb green = default_palette()[5];
  const LinearImage palette_green = flat_image(
      srgb_to_linear(green.red), srgb_to_linear(green.green), srgb_to_linear(green.blue));
  for (const DitherMode& mode : dither_modes()) {
    const ConvertedPicture result =
        convert_picture(palette_green, default_palette(), {mode.dither, -1});
    expect_consistent(result);
    EXPECT_EQ(std::set<int>{5}, distinct_colours(result.colours)) << mode.name;
  }
  const ConvertedPicture orange =
      convert_picture(flat_image(0.8f, 0.3f, 0.05f), default_palette(), {Dither::none, -1});
  EXPECT_EQ(1u, distinct_colours(orange.colours).size());
}

TEST(ConvertPicture, EveryCellDithersAColourThePaletteLacks) {
  // An olive between the palette's green and brown, on a grey background as
  // a photograph's other parts may choose it: the pixels all want green, and
  // a cell left with green alone is a flat square in its neighbours' dither.
  const LinearImage olive = flat_image(srgb_to_linear(90), srgb_to_linear(124), srgb_to_linear(28));
  for (const DitherMode& mode : dither_modes()) {
    if (mode.dither == Dither::none) continue;
    for (const int background : {12, 15}) {
      const ConvertedPicture result =
          convert_picture(olive, default_palette(), {mode.dither, background});
      int flat = 0;
      for (int cell = 0; cell < kCellColumns * kCellRows; ++cell) {
        std::set<int> shown;
        for (int j = 0; j < 32; ++j) {
          const int x = cell % kCellColumns * kPixelsPerByte + j % kPixelsPerByte;
          const int y = cell / kCellColumns * kLinesPerCell + j / kPixelsPerByte;
          shown.insert(result.colours[static_cast<std::size_t>(y * kPixelColumns + x)]);
        }
        flat += shown.size() == 1;
      }
      EXPECT_EQ(0, flat) << mode.name << ", background " << background;
    }
  }
}

TEST(ConvertPicture, FixedBackgroundIsHonouredInEveryMode) {
  const ColourGrid card = shown_colours(make_test_card());
  for (const DitherMode& mode : dither_modes())
    for (const int background : {0, 6, 15}) {
      const ConvertedPicture result = convert_picture(image_of(card, default_palette()),
                                                      default_palette(), {mode.dither, background});
      expect_consistent(result);
      EXPECT_EQ(background, result.background) << mode.name;
    }
}

TEST(ConvertPicture, PixelsOutsideShowTheBackground) {
  // A band on the left and right (as `fit` leaves of a tall image), one
  // hires pixel into the image at x = 101, and a hole in the middle.
  LinearImage image = image_of(shown_colours(make_test_card()), default_palette());
  const auto outside = [](int x, int y) {
    return x < 40 || x >= 280 || x == 101 || (x >= 150 && x < 170 && y >= 90 && y < 110);
  };
  for (int y = 0; y < LinearImage::kHeight; ++y)
    for (int x = 0; x < LinearImage::kWidth; ++x)
      image.outside[static_cast<std::size_t>(y * LinearImage::kWidth + x)] = outside(x, y);
  for (const DitherMode& mode : dither_modes())
    for (const int background : {-1, 3}) {
      const ConvertedPicture result =
          convert_picture(image, default_palette(), {mode.dither, background});
      expect_consistent(result);
      for (int y = 0; y < kPixelLines; ++y)
        for (int x = 0; x < kPixelColumns; ++x) {
          if (outside(2 * x, y) || outside(2 * x + 1, y)) {
            ASSERT_EQ(result.background,
                      result.colours[static_cast<std::size_t>(y * kPixelColumns + x)])
                << mode.name << " at " << x << "," << y;
          }
        }
    }
}

TEST(ConvertPicture, SamplesBeyondBlackAndWhiteAreHeldToThem) {
  // Ringing past white and black, and a sample that is not a number, give
  // the same picture as the image held to 0..1.
  LinearImage wild = flat_image(0.5f, 0.5f, 0.5f);
  LinearImage tame = wild;
  for (std::size_t i = 0; i < wild.rgb.size(); i += 7) {
    wild.rgb[i] = i % 2 ? 1.25f : -0.25f;
    tame.rgb[i] = i % 2 ? 1.0f : 0.0f;
  }
  wild.rgb[9] = std::numeric_limits<float>::quiet_NaN();
  tame.rgb[9] = 0.0f;
  const ConvertedPicture a = convert_picture(wild, default_palette(), {});
  const ConvertedPicture b = convert_picture(tame, default_palette(), {});
  EXPECT_TRUE(a.picture == b.picture);
}

TEST(ConvertPicture, EveryModeHasItsName) {
  std::set<std::string> names;
  for (const DitherMode& mode : dither_modes()) names.insert(mode.name);
  EXPECT_EQ(
      (std::set<std::string>{"none", "bayer2", "bayer4", "bayer8", "floyd", "atkinson", "search"}),
      names);
}

TEST(ConvertPicture, SearchComesClosestToASmoothImage) {
  // Gradients through colours the palette does not have: every mode is an
  // approximation, and the search of the blurred error must beat them all
  // on the perceived error.
  LinearImage image = flat_image(0, 0, 0);
  for (int y = 0; y < LinearImage::kHeight; ++y)
    for (int x = 0; x < LinearImage::kWidth; ++x) {
      float* p = &image.rgb[3 * static_cast<std::size_t>(y * LinearImage::kWidth + x)];
      p[0] = static_cast<float>(x) / LinearImage::kWidth;
      p[1] = static_cast<float>(y) / LinearImage::kHeight;
      p[2] = 0.6f * (1 - p[0]);
    }
  double search = 0, others = 1e9;
  for (const DitherMode& mode : dither_modes()) {
    const ConvertedPicture result = convert_picture(image, default_palette(), {mode.dither, -1});
    const double error = perceived_error(result.colours, default_palette(), image.rgb);
    if (mode.dither == Dither::search) {
      search = error;
    } else {
      others = std::min(others, error);
    }
  }
  EXPECT_LT(search, others);
}

}  // namespace
}  // namespace bitmosaic
