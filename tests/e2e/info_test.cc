// The info report through the real binary, byte for byte, in code page 437
// (the C locale) and in UTF-8, against the files in expected/.
#include <gtest/gtest.h>

#include <string>

#include "support/expected_output.h"
#include "support/pattern_picture.h"
#include "support/platform.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::expected_output;
using testing::pattern_picture;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_picture;

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

// The report of cell (column, row) of report_picture(column, row): its
// colours and bytes are the same for every cell, only the numbers differ.
std::string expected_report(int column, int row, bool utf8) {
  return expected_output("info-" + std::to_string(column) + "-" + std::to_string(row) +
                         (utf8 ? "-utf8" : "-cp437") + ".txt");
}

class InfoReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(InfoReport, PrintsHeaderColoursAndTheBoxExactly) {
  const ReportCase& c = GetParam();
  if (c.utf8) SKIP_ON_WINDOWS("UTF-8 from the locale; Windows asks the console");
  TempDir dir;
  write_picture(dir.file("pic.kla"), report_picture(c.column, c.row));
  ToolOptions options;
  options.directory = dir.path();
  if (c.utf8) options.environment["LC_ALL"] = "C.UTF-8";
  const ToolResult result = run_tool(
      {"info", std::to_string(c.column), std::to_string(c.row), "pic.kla"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_SAME_TEXT(expected_report(c.column, c.row, c.utf8), result.out);
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
  EXPECT_SAME_TEXT(expected_output("info-header-only.txt"), result.out);
}

TEST(InfoReport, UnreadableLocaleFallsBackToCodePage437) {
  TempDir dir;
  write_picture(dir.file("pic.kla"), report_picture(1, 1));
  ToolOptions options;
  options.directory = dir.path();
  options.environment["LC_ALL"] = "xx_NOWHERE.UTF-8";
  const ToolResult result = run_tool({"info", "1", "1", "pic.kla"}, options);
  EXPECT_SAME_TEXT(expected_report(1, 1, false), result.out);
}

}  // namespace
}  // namespace bitmosaic
