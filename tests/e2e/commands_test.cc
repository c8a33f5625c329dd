// Every command word through the real binary: the numbers reach the effect,
// the progress lines are exact, and the file written is what the effect
// makes in process.
#include <gtest/gtest.h>

#include <functional>

#include "effects/cell_clearing.h"
#include "effects/merge_mask.h"
#include "effects/moves.h"
#include "effects/pixel_lines.h"
#include "effects/region_copies.h"
#include "support/pattern_picture.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::differences;
using testing::pattern_picture;
using testing::read_picture;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_picture;

const KoalaPicture kFirst = pattern_picture(1);
const KoalaPicture kSecond = pattern_picture(2);

MergeLines merge_lines(bool plus) { return plus ? MergeLines::non_empty_only : MergeLines::all; }
MaskKeeps mask_keeps(bool inverted) {
  return inverted ? MaskKeeps::unset_pixels : MaskKeeps::set_pixels;
}

struct CommandCase {
  std::vector<std::string> arguments;  // a.kla and b.kla are the pictures
  std::string progress;
  std::function<void(KoalaPicture&)> expected;  // applied to a copy of a.kla
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
  for (const std::string& word : c.arguments) out << word << ' ';
  return out;
}

class CommandWords : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandWords, ReachTheirEffectWithTheTypedNumbers) {
  const CommandCase& c = GetParam();
  TempDir dir;
  write_picture(dir.file("a.kla"), kFirst);
  write_picture(dir.file("b.kla"), kSecond);
  ToolOptions options;
  options.directory = dir.path();
  std::vector<std::string> arguments = c.arguments;
  arguments.push_back("out.kla");
  const ToolResult result = run_tool(arguments, options);
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ(c.progress + "Saving...\nDone.\n", result.out);
  EXPECT_EQ("", result.err);
  KoalaPicture expected = kFirst;
  if (c.expected) {
    c.expected(expected);
  }
  const auto written = read_picture(dir.file("out.kla"));
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ("", differences(expected, *written));
}

INSTANTIATE_TEST_SUITE_P(
    OnePicture, CommandWords,
    ::testing::Values(
        CommandCase{{"del", "10", "5", "28", "10", "a.kla"}, "Deleting 10 5 28 10\n",
                    [](KoalaPicture& p) { run_del(CellRectangle{10, 5, 28, 10}, p); }},
        CommandCase{{"del", "0", "a.kla"}, "Deleting 0 0 39 24\n",
                    [](KoalaPicture& p) { run_del(CellRectangle{0, 0, 39, 24}, p); }},
        CommandCase{{"crop", "0x0a", "5", "a.kla"}, "Cropping 10 5 39 24\n",
                    [](KoalaPicture& p) { run_crop(CellRectangle{10, 5, 39, 24}, p); }},
        CommandCase{{"delv", "50", "100", "2", "a.kla"},
                    "Deleting content from line 50 to 100 with step 2.\n",
                    [](KoalaPicture& p) { run_delv(50, 100, 2, p); }},
        CommandCase{{"delete", "199", "a.kla"},
                    "Deleting content from line 199 to 199 with step 1.\n",
                    [](KoalaPicture& p) { run_delv(199, 199, 1, p); }},
        CommandCase{{"delv", "10", "11", "a.kla"},
                    "Deleting content from line 10 to 11 with step 1.\n",
                    [](KoalaPicture& p) { run_delv(10, 11, 1, p); }},
        CommandCase{{"filter", "a.kla"}, "", [](KoalaPicture& p) { run_filter(p); }},
        CommandCase{{"move", "5", "-2", "a.kla"}, "",
                    [](KoalaPicture& p) { p.fill(0); run_move(5, -2, p, kFirst); }},
        CommandCase{{"movev", "-3", "a.kla"}, "",
                    [](KoalaPicture& p) { p.fill(0); run_move(0, -3, p, kFirst); }},
        CommandCase{{"moveh", "39", "a.kla"}, "",
                    [](KoalaPicture& p) { p.fill(0); run_move(39, 0, p, kFirst); }},
        CommandCase{{"move", "0", "0", "a.kla"}, "", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    TwoPictures, CommandWords,
    ::testing::Values(
        CommandCase{{"replace", "10", "5", "28", "20", "a.kla", "b.kla"},
                    "Replacing (10/5)-(28/20)\n",
                    [](KoalaPicture& p) {
                      run_replace(CellRectangle{10, 5, 28, 20}, p, kSecond);
                    }},
        CommandCase{{"replacev", "10", "a.kla", "b.kla"}, "Replacing (0/10)-(39/24)\n",
                    [](KoalaPicture& p) {
                      run_replace(CellRectangle{0, 10, 39, 24}, p, kSecond);
                    }},
        CommandCase{{"replaceh", "20", "a.kla", "b.kla"}, "Replacing (20/0)-(39/24)\n",
                    [](KoalaPicture& p) {
                      run_replace(CellRectangle{20, 0, 39, 24}, p, kSecond);
                    }},
        CommandCase{{"insert", "10", "5", "28", "20", "a.kla", "b.kla"},
                    "Inserting 10 5 28 20\n",
                    [](KoalaPicture& p) {
                      run_insert(CellRectangle{10, 5, 28, 20}, p, kSecond);
                    }},
        CommandCase{{"insertv", "6", "a.kla", "b.kla"}, "Inserting 0 6 39 24\n",
                    [](KoalaPicture& p) {
                      run_insert(CellRectangle{0, 6, 39, 24}, p, kSecond);
                    }},
        CommandCase{{"inserth", "12", "a.kla", "b.kla"}, "Inserting 12 0 39 24\n",
                    [](KoalaPicture& p) {
                      run_insert(CellRectangle{12, 0, 39, 24}, p, kSecond);
                    }},
        CommandCase{{"merge", "a.kla", "b.kla"}, "",
                    [](KoalaPicture& p) { run_merge(merge_lines(false), p, kSecond); }},
        CommandCase{{"merge+", "a.kla", "b.kla"}, "",
                    [](KoalaPicture& p) { run_merge(merge_lines(true), p, kSecond); }},
        CommandCase{{"mask", "a.kla", "b.kla"}, "",
                    [](KoalaPicture& p) { run_mask(mask_keeps(false), p, kSecond); }},
        CommandCase{{"imask", "a.kla", "b.kla"}, "",
                    [](KoalaPicture& p) { run_mask(mask_keeps(true), p, kSecond); }},
        CommandCase{{"colcopy", "a.kla", "b.kla"}, "",
                    [](KoalaPicture& p) { run_colcopy(p, kSecond); }},
        CommandCase{{"colcopy", "a.kla", "a.kla"}, "", nullptr}));

// A keyword's optional numbers end at the first word that is not a number,
// which then counts as a file argument, "-r" included.
TEST(CommandWords, OptionalNumbersStopAtTheFirstOtherWord) {
  TempDir dir;
  write_picture(dir.file("5"), kFirst);
  ToolOptions options;
  options.directory = dir.path();
  options.environment["PATH"] = dir.file("no-opener-here");
  const ToolResult result = run_tool({"del", "10", "-r", "5", "out.kla"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Deleting 10 0 39 24\nSaving...\nDone.\n", result.out);
  EXPECT_EQ("WARNING: Could not open 'out.kla'.\n", result.err);
  const ToolResult info = run_tool({"info", "5", "out.kla"}, options);
  EXPECT_EQ(0, info.status);
  EXPECT_EQ(0u, info.out.find("Info:\nFilename: '5' \n"));
}

}  // namespace
}  // namespace bitmosaic
