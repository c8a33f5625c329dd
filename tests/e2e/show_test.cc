// The show command through the real binary. The output is replayed like a
// terminal would, and every character cell checked against the picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "preview/c64_palette.h"
#include "preview/png_export.h"
#include "support/run_tool.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_picture;

std::string rgb_text(int colour) {
  const Rgb& rgb = default_palette()[static_cast<std::size_t>(colour)];
  return std::to_string(rgb.red) + ";" + std::to_string(rgb.green) + ";" +
         std::to_string(rgb.blue);
}

struct ShowCase {
  const char* locale;
  std::string glyph;
};

class ShowCommand : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowCommand, DrawsEveryPixelPairAsAHalfBlock) {
  const ShowCase& c = GetParam();
  TempDir dir;
  const KoalaPicture card = make_test_card();
  write_picture(dir.file("pic.kla"), card);
  ToolOptions options;
  options.directory = dir.path();
  options.environment["LC_ALL"] = c.locale;
  options.environment["bitmosaic"] = "1";  // show opens nothing, whatever is asked
  const ToolResult result = run_tool({"show", "pic.kla", "-r"}, options);
  ASSERT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_FALSE(std::filesystem::exists(dir.file("pic.out.kla")));

  std::istringstream lines(result.out);
  std::string line;
  int count = 0;
  int redundant = 0;
  while (std::getline(lines, line)) {
    const int y = 2 * count++;
    ASSERT_LE(count, 100);
    const std::string reset = "\x1b[0m";
    ASSERT_EQ(reset, line.substr(line.size() - reset.size())) << "line " << count;
    line.resize(line.size() - reset.size());
    std::string foreground, background;
    int x = 0;
    for (std::size_t at = 0; at < line.size();) {
      if (line.compare(at, 2, "\x1b[") == 0) {
        const std::size_t end = line.find('m', at);
        const std::string code = line.substr(at + 2, end - at - 2);
        std::string& layer = code.compare(0, 5, "38;2;") == 0 ? foreground : background;
        ASSERT_TRUE(code.compare(0, 5, "38;2;") == 0 || code.compare(0, 5, "48;2;") == 0)
            << code;
        if (layer == code.substr(5)) ++redundant;
        layer = code.substr(5);
        at = end + 1;
        continue;
      }
      ASSERT_EQ(c.glyph, line.substr(at, c.glyph.size())) << "line " << count << " x " << x;
      ASSERT_LT(x, 160);
      ASSERT_EQ(rgb_text(displayed_colour(card, x, y)), foreground) << x << "," << y;
      ASSERT_EQ(rgb_text(displayed_colour(card, x, y + 1)), background) << x << "," << y;
      at += c.glyph.size();
      ++x;
    }
    EXPECT_EQ(160, x) << "line " << count;
  }
  EXPECT_EQ(100, count);
  EXPECT_EQ(0, redundant) << "colours are only set where they change";
}

INSTANTIATE_TEST_SUITE_P(Charsets, ShowCommand,
                         ::testing::Values(ShowCase{"C", "\xDF"},
                                           ShowCase{"C.UTF-8", "\u2580"}));

TEST(ShowCommand, TakesOnlyTheSource) {
  TempDir dir;
  write_picture(dir.file("pic.kla"), make_test_card());
  ToolOptions options;
  options.directory = dir.path();
  const ToolResult result = run_tool({"show", "pic.kla", "out.kla"}, options);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Bad argument out.kla\n\n", result.err);
}

}  // namespace
}  // namespace bitmosaic
