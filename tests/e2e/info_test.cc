// The info report through the real binary, byte for byte, in code page 437
// (the C locale) and in UTF-8.
#include <gtest/gtest.h>

#include <map>

#include "support/pattern_picture.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::pattern_picture;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_picture;

// The report written with placeholders for the glyphs: % medium shade,
// & dark shade, # full block, | and = box lines, { } ( ) the corners,
// ^ and ~ the tees.
const std::map<char, std::pair<std::string, std::string>> kGlyphs = {
    {'%', {"\xB1", "\u2592"}}, {'&', {"\xB2", "\u2593"}}, {'#', {"\xDB", "\u2588"}},
    {'|', {"\xB3", "\u2502"}}, {'=', {"\xC4", "\u2500"}}, {'{', {"\xDA", "\u250C"}},
    {'}', {"\xBF", "\u2510"}}, {'(', {"\xC0", "\u2514"}}, {')', {"\xD9", "\u2518"}},
    {'^', {"\xC2", "\u252C"}}, {'~', {"\xC1", "\u2534"}},
};

std::string render(const std::string& layout, bool utf8) {
  std::string text;
  for (const char c : layout) {
    const auto glyph = kGlyphs.find(c);
    text += glyph == kGlyphs.end() ? std::string(1, c)
                                   : (utf8 ? glyph->second.second : glyph->second.first);
  }
  return text;
}

const std::string kHeader =
    "Info:\n"
    "Filename: 'pic.kla' \n"
    "Filesize: 10003   \n"
    "Startaddr: $6001\n"
    "Background: 55 [yellow]\n";

std::string cell_detail(int column, int row) {
  return "\n"
         "Info of col " + std::to_string(column) + ", row " + std::to_string(row) + ": \n"
         "&& Col-1 14 [light blue] \n"
         "%% Col-2  2 [red] \n"
         "## Col-3  5 [green] \n"
         "   {========^================}\n"
         "1b |00011011|    %%%%&&&&####|\n"
         "e4 |11100100|####&&&&%%%%    |\n"
         "00 |00000000|                |\n"
         "ff |11111111|################|\n"
         "55 |01010101|%%%%%%%%%%%%%%%%|\n"
         "aa |10101010|&&&&&&&&&&&&&&&&|\n"
         "27 |00100111|    &&&&%%%%####|\n"
         "8d |10001101|&&&&    ####%%%%|\n"
         "   (========~================)\n";
}

// A picture loading at $6001 with background byte 0x37, whose cell
// (column, row) holds all four pixel values in every position.
KoalaPicture report_picture(int column, int row) {
  KoalaPicture picture = pattern_picture(5);
  picture[0] = 0x01;
  picture[1] = 0x60;
  picture[10002] = 0x37;  // border colour in the high bits, yellow below
  const std::uint8_t bytes[8] = {0x1B, 0xE4, 0x00, 0xFF, 0x55, 0xAA, 0x27, 0x8D};
  for (int line = 0; line < 8; ++line) picture[2 + 320 * row + 8 * column + line] = bytes[line];
  picture[8002 + 40 * row + column] = 0x2E;
  picture[9002 + 40 * row + column] = 0xF5;
  return picture;
}

struct ReportCase {
  int column, row;
  bool utf8;
};

class InfoReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(InfoReport, PrintsHeaderColoursAndTheBoxExactly) {
  const ReportCase& c = GetParam();
  TempDir dir;
  write_picture(dir.file("pic.kla"), report_picture(c.column, c.row));
  ToolOptions options;
  options.directory = dir.path();
  if (c.utf8) options.environment["LC_ALL"] = "C.UTF-8";
  const ToolResult result = run_tool(
      {"info", std::to_string(c.column), std::to_string(c.row), "pic.kla"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(render(kHeader + cell_detail(c.column, c.row), c.utf8), result.out);
}

INSTANTIATE_TEST_SUITE_P(Cells, InfoReport,
                         ::testing::Values(ReportCase{0, 0, false}, ReportCase{0, 24, false},
                                           ReportCase{39, 24, false}, ReportCase{39, 0, false},
                                           ReportCase{5, 5, false}, ReportCase{0, 24, true},
                                           ReportCase{39, 24, true}));

TEST(InfoReport, WithoutACellOnlyTheHeader) {
  TempDir dir;
  KoalaPicture picture = report_picture(0, 0);
  picture[0] = 0x00;
  picture[10002] = 0x0F;
  write_picture(dir.file("pic.kla"), picture);
  ToolOptions options;
  options.directory = dir.path();
  const ToolResult result = run_tool({"info", "pic.kla"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(
      "Info:\nFilename: 'pic.kla' \nFilesize: 10003   \nStartaddr: $6000\n"
      "Background: 15 [light grey]\n",
      result.out);
}

TEST(InfoReport, UnreadableLocaleFallsBackToCodePage437) {
  TempDir dir;
  write_picture(dir.file("pic.kla"), report_picture(1, 1));
  ToolOptions options;
  options.directory = dir.path();
  options.environment["LC_ALL"] = "xx_NOWHERE.UTF-8";
  const ToolResult result = run_tool({"info", "1", "1", "pic.kla"}, options);
  EXPECT_EQ(render(kHeader + cell_detail(1, 1), false), result.out);
}

}  // namespace
}  // namespace bitmosaic
