#include "support/pattern_picture.h"

#include <cstdio>

namespace bitmosaic::testing {

KoalaPicture pattern_picture(int seed) {
  KoalaPicture picture{};
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const std::size_t mixed = i * 37 + (i >> 8) * 11 + static_cast<std::size_t>(seed) * 101;
    picture[i] = static_cast<std::uint8_t>(1 + mixed % 255);
  }
  return picture;
}

CommandSettings cell_rectangle(int x1, int y1, int x2, int y2) {
  CommandSettings settings;
  settings.x1 = static_cast<std::int8_t>(x1);
  settings.y1 = y1;
  settings.x2 = static_cast<std::int8_t>(x2);
  settings.y2 = y2;
  return settings;
}

std::string differences(const KoalaPicture& expected, const KoalaPicture& actual) {
  std::string report;
  int shown = 0;
  int total = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == actual[i]) continue;
    ++total;
    if (shown++ < 8) {
      char line[80];
      std::snprintf(line, sizeof line, "offset %zu: expected 0x%02x, got 0x%02x\n",
                    i, expected[i], actual[i]);
      report += line;
    }
  }
  if (total > shown) report += "... " + std::to_string(total - shown) + " more\n";
  return report;
}

}  // namespace bitmosaic::testing
