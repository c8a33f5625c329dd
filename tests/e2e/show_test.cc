// The show command through the real binary. The output is replayed like a
// terminal would, and every character cell checked against the picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "image/c64_palette.h"
#include "preview/png_export.h"
#include "support/platform.h"
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

// A terminal's view of show's output: the colour codes in force at every
// character cell, line by line.
struct Screen {
  std::vector<std::vector<std::pair<std::string, std::string>>> cells;  // foreground, background
  int redundant = 0;  // colour sequences that repeat the colour in force
  std::string problem;
};

Screen replay(const std::string& out, const std::string& glyph) {
  Screen screen;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a terminal's line end
    const std::string reset = "\x1b[0m";
    if (line.size() < reset.size() || line.substr(line.size() - reset.size()) != reset) {
      screen.problem = "a line without the reset at its end";
      return screen;
    }
    line.resize(line.size() - reset.size());
    std::string foreground, background;
    auto& row = screen.cells.emplace_back();
    for (std::size_t at = 0; at < line.size();) {
      if (line.compare(at, 2, "\x1b[") == 0) {
        const std::size_t end = line.find('m', at);
        const std::string code = line.substr(at + 2, end - at - 2);
        std::string& layer = code.compare(0, 2, "38") == 0 ? foreground : background;
        if (layer == code.substr(3)) ++screen.redundant;
        layer = code.substr(3);
        at = end + 1;
      } else if (line.compare(at, glyph.size(), glyph) == 0) {
        row.emplace_back(foreground, background);
        at += glyph.size();
      } else {
        screen.problem = "an unexpected byte in line " + std::to_string(screen.cells.size());
        return screen;
      }
    }
  }
  return screen;
}

// The half block as show draws it under the tests' C locale: in UTF-8 on
// POSIX systems; Windows follows the console's code page.
#if defined(_WIN32)
const std::string kHalfBlock = "\xDF";
#else
const std::string kHalfBlock = "\u2580";
#endif

struct ShowCase {
  const char* locale;
  std::string glyph;
};

class ShowCommand : public ::testing::TestWithParam<ShowCase> {};

// Not on a terminal: full size, one character a screen pixel across.
TEST_P(ShowCommand, DrawsEveryScreenPixelAtFullSize) {
  const ShowCase& c = GetParam();
  if (c.glyph != kHalfBlock) SKIP_ON_WINDOWS("the locale; Windows asks the console");
  TempDir dir;
  const KoalaPicture card = make_test_card();
  write_picture(dir.file("pic.kla"), card);
  ToolOptions options;
  options.directory = dir.path();
  options.environment["LC_ALL"] = c.locale;
  options.environment["COLORTERM"] = "truecolor";
  options.environment["COLUMNS"] = "80";  // a size counts only on a terminal
  options.environment["bitmosaic"] = "1";  // show opens nothing, whatever is asked
  const ToolResult result = run_tool({"show", "pic.kla", "-r"}, options);
  ASSERT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_FALSE(std::filesystem::exists(dir.file("pic.out.kla")));
  const Screen screen = replay(result.out, c.glyph);
  ASSERT_EQ("", screen.problem);
  ASSERT_EQ(100u, screen.cells.size());
  for (std::size_t line = 0; line < 100; ++line) {
    ASSERT_EQ(320u, screen.cells[line].size()) << "line " << line;
    for (int x = 0; x < 320; ++x) {
      const int y = 2 * static_cast<int>(line);
      const auto& [foreground, background] = screen.cells[line][static_cast<std::size_t>(x)];
      ASSERT_EQ("2;" + rgb_text(displayed_colour(card, x / 2, y)), foreground) << x << "," << y;
      ASSERT_EQ("2;" + rgb_text(displayed_colour(card, x / 2, y + 1)), background) << x << "," << y;
    }
  }
  EXPECT_EQ(0, screen.redundant) << "colours are only set where they change";
}

// Colour sequences reach only modern terminals, which take UTF-8: only a
// locale that names another character set gets the code page 437 byte.
INSTANTIATE_TEST_SUITE_P(Charsets, ShowCommand,
                         ::testing::Values(ShowCase{"C", "\u2580"},
                                           ShowCase{"POSIX", "\u2580"},
                                           ShowCase{"", "\u2580"},
                                           ShowCase{"C.UTF-8", "\u2580"},
                                           ShowCase{"en_US.utf8@euro", "\u2580"},
                                           ShowCase{"en_US.ISO-8859-1", "\xDF"}));

// A picture of one colour everywhere: colour 2, red.
KoalaPicture flat_red() {
  KoalaPicture picture{};
  picture[kBackgroundOffset] = 2;
  return picture;
}

struct FitCase {
  const char* columns;
  const char* lines;
  std::size_t drawn_columns, drawn_lines;
};

class ShowOnATerminal : public ::testing::TestWithParam<FitCase> {};

TEST_P(ShowOnATerminal, DrawsTheLargestPictureOfItsShapeThatFits) {
  SKIP_ON_WINDOWS("pseudo-terminals");
  const FitCase& c = GetParam();
  TempDir dir;
  write_picture(dir.file("pic.kla"), flat_red());
  ToolOptions options;
  options.directory = dir.path();
  options.on_terminal = true;
  options.environment["COLUMNS"] = c.columns;
  options.environment["LINES"] = c.lines;
  options.environment["COLORTERM"] = "24bit";
  const ToolResult result = run_tool({"show", "pic.kla"}, options);
  ASSERT_EQ(0, result.status);
  const Screen screen = replay(result.out, kHalfBlock);
  ASSERT_EQ("", screen.problem);
  ASSERT_EQ(c.drawn_lines, screen.cells.size());
  for (const auto& row : screen.cells) {
    ASSERT_EQ(c.drawn_columns, row.size());
    for (const auto& [foreground, background] : row) {
      ASSERT_EQ("2;" + rgb_text(2), foreground);
      ASSERT_EQ("2;" + rgb_text(2), background);
    }
  }
  // 320 by 200 screen pixels: columns / (2 * lines) stays 1.6.
  const double shape = static_cast<double>(c.drawn_columns) / (2.0 * c.drawn_lines);
  EXPECT_NEAR(1.6, shape, 0.02);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShowOnATerminal,
                         ::testing::Values(FitCase{"80", "24", 74, 23},
                                           FitCase{"200", "60", 189, 59},
                                           FitCase{"120", "200", 118, 37},
                                           FitCase{"500", "300", 320, 100},
                                           FitCase{"10000", "10000", 320, 100},
                                           // Not all digits from 1 to 10000: unset, so the
                                           // terminal's size (none here: 80 by 24) counts.
                                           FitCase{"300000000", "24", 74, 23},
                                           FitCase{"200", "99999999999", 74, 23},
                                           FitCase{"80abc", "-5", 74, 23},
                                           FitCase{"0", "+60", 74, 23}));

TEST(ShowCommand, TerminalsWithoutDirectColourGetSixteenDifferentColours) {
  TempDir dir;
  write_picture(dir.file("pic.kla"), flat_red());
  ToolOptions options;
  options.directory = dir.path();
  options.environment["COLORTERM"] = std::nullopt;
  const ToolResult result = run_tool({"show", "pic.kla"}, options);
  ASSERT_EQ(0, result.status);
  const Screen screen = replay(result.out, kHalfBlock);
  ASSERT_EQ("", screen.problem);
  ASSERT_EQ(100u, screen.cells.size());
  // pepto's red, #68372b, gets #875f5f: the nearest, #5f5f00, shows brown.
  EXPECT_EQ(std::make_pair(std::string("5;95"), std::string("5;95")), screen.cells[50][100]);
}

TEST(ShowCommand, DrawsWithTheChosenPalette) {
  TempDir dir;
  write_picture(dir.file("pic.kla"), flat_red());
  ToolOptions options;
  options.directory = dir.path();
  options.environment["COLORTERM"] = "truecolor";
  const ToolResult result = run_tool({"show", "--palette=Colodore", "pic.kla"}, options);
  ASSERT_EQ(0, result.status) << result.err;
  const Screen screen = replay(result.out, kHalfBlock);
  ASSERT_EQ(100u, screen.cells.size());
  EXPECT_EQ("2;150;40;46", screen.cells[0][0].first);  // colodore's red, #96282e
}

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
