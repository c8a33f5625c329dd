#include "image/colour_space.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace bitmosaic {
namespace {

TEST(ColourSpace, EncodingInvertsDecodingAtEverySample) {
  for (int sample = 0; sample < 256; ++sample)
    EXPECT_EQ(linear_to_srgb(srgb_to_linear(static_cast<std::uint8_t>(sample))), sample);
  EXPECT_NEAR(srgb_to_linear(128), 0.2158605, 1e-6);  // mid-grey is a fifth of the light
  EXPECT_EQ(linear_to_srgb(-1.0f), 0);
  EXPECT_EQ(linear_to_srgb(2.0f), 255);
}

TEST(ColourSpace, CielabOfKnownColours) {
  struct Case {
    float rgb[3];
    Lab lab;
  };
  const Case cases[] = {
      {{1, 1, 1}, {100, 0, 0}},  // the D65 white
      {{0, 0, 0}, {0, 0, 0}},
      {{1, 0, 0}, {53.24, 80.09, 67.20}},  // sRGB's primaries
      {{0, 1, 0}, {87.73, -86.18, 83.18}},
      {{0, 0, 1}, {32.30, 79.19, -107.86}},
      {{0.2158605f, 0.2158605f, 0.2158605f}, {53.59, 0, 0}},  // sRGB 128 grey
  };
  for (const Case& c : cases) {
    const Lab lab = linear_to_lab(c.rgb);
    EXPECT_NEAR(lab.lightness, c.lab.lightness, 0.01);
    EXPECT_NEAR(lab.a, c.lab.a, 0.01);
    EXPECT_NEAR(lab.b, c.lab.b, 0.01);
  }
}

// Pairs from Sharma, Wu and Dalal's test data for CIEDE2000, chosen for the
// places implementations go wrong: hue differences across 0/360 degrees, the
// mean hue at the wrap, the blue region's rotation term, near-greys.
TEST(ColourSpace, Ciede2000MatchesPublishedPairs) {
  struct Case {
    Lab first, second;
    double difference;
  };
  const Case cases[] = {
      {{50, 2.6772, -79.7751}, {50, 0, -82.7485}, 2.0425},
      {{50, -1.3802, -84.2814}, {50, 0, -82.7485}, 1.0000},
      {{50, 0, 0}, {50, -1, 2}, 2.3669},
      {{50, 2.49, -0.001}, {50, -2.49, 0.0009}, 7.1792},
      {{50, 2.49, -0.001}, {50, -2.49, 0.0011}, 7.2195},
      {{50, -0.001, 2.49}, {50, 0.0009, -2.49}, 4.8045},
      {{50, -0.001, 2.49}, {50, 0.0011, -2.49}, 4.7461},
      {{50, 2.5, 0}, {73, 25, -18}, 27.1492},
      {{50, 2.5, 0}, {61, -5, 29}, 22.8977},
      {{50, 2.5, 0}, {56, -27, -3}, 31.9030},
      {{50, 2.5, 0}, {50, 3.2972, 0}, 1.0000},
      {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
      {{22.7233, 20.0904, -46.694}, {23.0331, 14.973, -42.5619}, 2.0373},
      {{2.0776, 0.0795, -1.135}, {0.9033, -0.0636, -0.5514}, 0.9082},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(ciede2000(c.first, c.second), c.difference, 5e-5);
    EXPECT_NEAR(ciede2000(c.second, c.first), c.difference, 5e-5);
  }
}

// The converter weighs small changes with the metric instead of the whole
// formula: it must agree with CIEDE2000 where differences are small, in
// dark, bright, grey and saturated colours alike.
TEST(ColourSpace, MetricAgreesWithCiede2000ForSmallChanges) {
  const float colours[][3] = {{0.01f, 0.01f, 0.01f}, {0.2f, 0.2f, 0.2f},   {0.9f, 0.8f, 0.7f},
                              {0.6f, 0.05f, 0.02f},  {0.03f, 0.05f, 0.5f}, {0.1f, 0.4f, 0.05f}};
  const float steps[][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, -1, 0}, {0.3f, 0.5f, -0.8f}};
  for (const auto& colour : colours) {
    float metric[6];
    ciede2000_metric(colour, metric);
    for (const auto& step : steps) {
      const float size = 1e-4f;
      const float d[3] = {size * step[0], size * step[1], size * step[2]};
      const float moved[3] = {colour[0] + d[0], colour[1] + d[1], colour[2] + d[2]};
      const double quadratic = metric[0] * d[0] * d[0] + metric[1] * d[1] * d[1] +
                               metric[2] * d[2] * d[2] + 2 * metric[3] * d[0] * d[1] +
                               2 * metric[4] * d[0] * d[2] + 2 * metric[5] * d[1] * d[2];
      const double exact = ciede2000(linear_to_lab(colour), linear_to_lab(moved));
      EXPECT_NEAR(std::sqrt(quadratic), exact, 0.02 * exact + 1e-5)
          << colour[0] << " " << colour[1] << " " << colour[2] << " step " << step[0];
    }
  }
}

TEST(ColourSpace, GaussianBlurKeepsFlatImagesAndRepeatsTheBorder) {
  // A flat image stays flat; a single bright pixel in a corner keeps its
  // light inside the image (the border repeats, so nothing leaks out); a
  // line blurred across keeps its total.
  std::vector<float> flat(5 * 4 * 2, 0.25f), out(flat.size());
  gaussian_blur(flat, out, 5, 4, 2, 1.0, 4);
  for (float v : out) EXPECT_NEAR(v, 0.25f, 1e-6);

  std::vector<float> line(9 * 9, 0.0f), blurred(line.size());
  for (int y = 0; y < 9; ++y) line[static_cast<std::size_t>(y * 9 + 4)] = 1.0f;
  gaussian_blur(line, blurred, 9, 9, 1, 1.0, 4);
  const double centre =
      1 / (1 + 2 * (std::exp(-0.5) + std::exp(-2.0) + std::exp(-4.5) + std::exp(-8.0)));
  EXPECT_NEAR(blurred[4 * 9 + 4], centre, 1e-6);
  EXPECT_NEAR(blurred[4 * 9 + 5], centre * std::exp(-0.5), 1e-6);
  EXPECT_NEAR(blurred[4 * 9 + 0], centre * std::exp(-8.0), 1e-6);
}

}  // namespace
}  // namespace bitmosaic
