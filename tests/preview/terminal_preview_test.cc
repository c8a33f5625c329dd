#include "preview/terminal_preview.h"

#include <gtest/gtest.h>

#include <set>

#include "image/colour_space.h"

namespace bitmosaic {
namespace {

// The 256-colour palette as terminals define it beyond its first 16.
Lab xterm_lab(int index) {
  if (index >= 232) {
    const auto level = static_cast<std::uint8_t>(8 + 10 * (index - 232));
    return srgb_to_lab(level, level, level);
  }
  constexpr std::uint8_t kLevels[] = {0, 95, 135, 175, 215, 255};
  const int cube = index - 16;
  return srgb_to_lab(kLevels[cube / 36], kLevels[cube / 6 % 6], kLevels[cube % 6]);
}

double error_of(const Rgb& rgb, int index) {
  return lab_distance(srgb_to_lab(rgb.red, rgb.green, rgb.blue), xterm_lab(index));
}

// Every palette gets 16 different colours, and no change of one colour for
// an unused one, nor an exchange of two, lowers the total error: what an
// exact assignment must hold.
TEST(XtermColours, SixteenDifferentColoursThatNoSwapImproves) {
  for (const Palette& palette : c64_palettes()) {
    const std::array<int, 16> chosen = xterm_colours(palette.colours);
    const std::set<int> different(chosen.begin(), chosen.end());
    ASSERT_EQ(16u, different.size()) << palette.name;
    for (std::size_t i = 0; i < 16; ++i) {
      ASSERT_GE(chosen[i], 16) << palette.name;
      const double now = error_of(palette.colours[i], chosen[i]);
      for (int other = 16; other < 256; ++other) {
        if (different.count(other) == 0) {
          EXPECT_GE(error_of(palette.colours[i], other), now - 1e-9) << palette.name << " " << i;
        }
      }
      for (std::size_t j = i + 1; j < 16; ++j)
        EXPECT_GE(error_of(palette.colours[i], chosen[j]) + error_of(palette.colours[j], chosen[i]),
                  now + error_of(palette.colours[j], chosen[j]) - 1e-9)
            << palette.name << " " << i << " " << j;
    }
  }
  // pepto's red, orange and brown stay three colours, its greys three greys.
  const std::array<int, 16> pepto = xterm_colours(default_palette());
  EXPECT_EQ((std::array<int, 16>{16, 231, 95, 109, 97, 107, 17, 186, 94, 58, 131, 238, 242, 150,
                                 61, 246}),
            pepto);
}

}  // namespace
}  // namespace bitmosaic
