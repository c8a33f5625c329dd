// The command line through the real binary: help words, usage layout, and
// every argument error with its exact message and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/help_texts.h"
#include "support/expected_output.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::error_usage;
using testing::expected_output;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;

TEST(HelpWords, NoArgumentsPrintsTitleAndUsageWithTheNameAsTyped) {
  ToolOptions options;
  options.argv0 = "./tools/bitmosaic";
  const ToolResult result = run_tool({}, options);
  EXPECT_EQ(0, result.status);
  // Every usage line after the first stands under the "info" of the name.
  EXPECT_SAME_TEXT(expected_output("title.txt"), result.out);
  EXPECT_EQ("", result.err);
}

TEST(HelpWords, EmptyNameStillIndentsByOneBlank) {
  ::testing::internal::CaptureStdout();
  print_usage("");
  const std::string usage = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(0u, usage.find("\n info [<col> <row>] <src> \n  del <x1>"));
  EXPECT_NE(std::string::npos, usage.find("\n  help\n"));
}

TEST(HelpWords, HelpPrintsTitleUsageAndDetailedHelpAndIgnoresTheRest) {
  ToolOptions options;
  options.argv0 = "bm";
  const ToolResult result = run_tool({"help", "del", "nonsense"}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  // Fixed text, trailing blanks and spelling included, then the lines of the
  // two preview commands.
  EXPECT_SAME_TEXT(expected_output("help.txt"), result.out);
}

TEST(HelpWords, LongAndShortHelpOptionsAreHelp) {
  ToolOptions options;
  options.argv0 = "bm";
  const std::string help = run_tool({"help"}, options).out;
  for (const char* word : {"--help", "-h"}) {
    const ToolResult result = run_tool({word, "del"}, options);
    EXPECT_EQ(0, result.status) << word;
    EXPECT_EQ(help, result.out) << word;
  }
}

TEST(HelpWords, VersionOptionsPrintTheVersion) {
  for (const char* word : {"--version", "-V"}) {
    const ToolResult result = run_tool({word});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("bitmosaic 1.0.0\n", result.out);
    EXPECT_EQ("", result.err);
  }
}

TEST(HelpWords, HelpWordsAfterACommandAreUnknownOptions) {
  TempDir dir;
  ToolOptions options;
  options.directory = dir.path();
  const ToolResult result = run_tool({"filter", "--version"}, options);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Unknown option '--version'.", result.err);
}

TEST(HelpWords, ExamplesAndCreditsAreFixedTexts) {
  const ToolResult examples = run_tool({"examples"});
  EXPECT_EQ(0, examples.status);
  EXPECT_SAME_TEXT(expected_output("examples.txt"), examples.out);
  const ToolResult credits = run_tool({"more", "-r"});
  EXPECT_EQ(0, credits.status);
  EXPECT_SAME_TEXT(expected_output("credits.txt"), credits.out);
}

struct ErrorCase {
  std::vector<std::string> arguments;
  std::string message;
  std::string before_usage = "";  // progress printed before the error
};

class ArgumentErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ArgumentErrors, EndWithMessageUsageAndStatusOne) {
  const ErrorCase& c = GetParam();
  TempDir dir;  // nothing here, so no source is ever found
  ToolOptions options;
  options.directory = dir.path();
  const ToolResult result = run_tool(c.arguments, options);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(c.message, result.err);
  EXPECT_EQ(c.before_usage + error_usage(), result.out);
}

INSTANTIATE_TEST_SUITE_P(
    MainOption, ArgumentErrors,
    ::testing::Values(
        ErrorCase{{"pic.kla", "del", "1"}, "ERROR: Main option missing."},
        ErrorCase{{"-r", "del", "1", "pic.kla"}, "ERROR: Main option missing."},
        ErrorCase{{"Del", "1", "pic.kla"}, "ERROR: Main option missing."},
        ErrorCase{{""}, "ERROR: Main option missing."}));

INSTANTIATE_TEST_SUITE_P(
    MissingNumbers, ArgumentErrors,
    ::testing::Values(
        ErrorCase{{"del"}, "ERROR: Integer after 'del' missing."},
        ErrorCase{{"crop"}, "ERROR: Integer after 'crop' missing."},
        ErrorCase{{"replace"}, "ERROR: Integer after 'replace' missing."},
        ErrorCase{{"insert"}, "ERROR: Integer after 'insert' missing."},
        ErrorCase{{"delv"}, "ERROR: Integer(s) after 'delete' missing."},
        ErrorCase{{"delete"}, "ERROR: Integer(s) after 'delete' missing."},
        ErrorCase{{"replacev"}, "ERROR: Integer after 'replacev' missing."},
        ErrorCase{{"replaceh"}, "ERROR: Integer after 'replaceh' missing."},
        ErrorCase{{"insertv"}, "ERROR: Integer after 'insertv' missing."},
        ErrorCase{{"inserth"}, "ERROR: Integer after 'inserth' missing."},
        ErrorCase{{"movev"}, "ERROR: Integer after 'movev' missing."},
        ErrorCase{{"moveh"}, "ERROR: Integer after 'moveh' missing."},
        ErrorCase{{"move", "5"}, "ERROR: Integers after 'move' missing."}));

INSTANTIATE_TEST_SUITE_P(
    BadNumbers, ArgumentErrors,
    ::testing::Values(
        ErrorCase{{"del", "40", "p.kla"}, "ERROR: Number (40) too high. [Maximum: 39]"},
        ErrorCase{{"del", "-1", "p.kla"}, "ERROR: Number (-1) too low. [Minimum: 0]"},
        ErrorCase{{"del", "1", "25", "p.kla"}, "ERROR: Number (25) too high. [Maximum: 24]"},
        ErrorCase{{"crop", "1", "2", "40", "p.kla"},
                  "ERROR: Number (40) too high. [Maximum: 39]"},
        ErrorCase{{"del", "p.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"del", "08", "5", "28", "10", "pic.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"del", "-r", "pic.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"insertv", "abc", "a.kla", "b.kla"},
                  "ERROR: Number (0) too low. [Minimum: 1]"},
        ErrorCase{{"replaceh", "40", "a.kla", "b.kla"},
                  "ERROR: Number (40) too high. [Maximum: 39]"},
        ErrorCase{{"replacev", "25", "a.kla", "b.kla"},
                  "ERROR: Number (25) too high. [Maximum: 24]"},
        ErrorCase{{"delv", "pic.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"delv", "200", "pic.kla"}, "ERROR: Number (200) too high. [Maximum: 199]"},
        ErrorCase{{"delv", "50", "49", "pic.kla"},
                  "ERROR: Number (49) too low. [Minimum: 50]"},
        ErrorCase{{"delv", "50", "51", "1", "pic.kla"},
                  "ERROR: Number (1) too high. [Maximum: 0]"},
        ErrorCase{{"delv", "10", "13", "2", "pic.kla"},
                  "ERROR: Number (2) too high. [Maximum: 1]"},
        // An empty word (an unset shell variable) is no number: where one
        // is required it is refused, where one may follow it is a file name.
        ErrorCase{{"del", "", "pic.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"delv", "10", "20", "", "pic.kla"}, "ERROR: File '' not found."},
        ErrorCase{{"info", "40", "0", "p.kla"}, "ERROR: Number (40) too high. [Maximum: 39]"},
        ErrorCase{{"info", "0", "25", "p.kla"}, "ERROR: Number (25) too high. [Maximum: 24]"},
        ErrorCase{{"move", "5", "pic.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"move", "40", "0", "p.kla"}, "ERROR: Number (40) too high. [Maximum: 39]"},
        ErrorCase{{"move", "0", "-25", "p.kla"}, "ERROR: Number (-25) too low. [Minimum: -24]"},
        ErrorCase{{"moveh", "-40", "p.kla"}, "ERROR: Number (-40) too low. [Minimum: -39]"},
        ErrorCase{{"movev", "0x19", "p.kla"}, "ERROR: Number (25) too high. [Maximum: 24]"},
        ErrorCase{{"del", "0b1", "p.kla"}, "ERROR: Not a number (0)."}));

INSTANTIATE_TEST_SUITE_P(
    FileArguments, ArgumentErrors,
    ::testing::Values(
        ErrorCase{{"merge", "a", "b", "c", "d"}, "ERROR: Bad argument d\n\n"},
        ErrorCase{{"del", "1", "a", "b", "c"}, "ERROR: Bad argument c\n\n"},
        ErrorCase{{"del", "5"}, "ERROR: File '<src>' not found."},
        ErrorCase{{"filter", "-r", "-r"}, "ERROR: File '<src>' not found."},
        ErrorCase{{"filter", "pic"}, "ERROR: Source file 'pic' has no file extension."},
        ErrorCase{{"merge", "help", "a.kla"},
                  "ERROR: Source file 'help' has no file extension."},
        ErrorCase{{"filter", "dir.d/pic"},
                  "ERROR: Source file 'dir.d/pic' has no file extension."},
        ErrorCase{{"filter", "./pic"}, "ERROR: Source file './pic' has no file extension."},
        ErrorCase{{"filter", "missing.kla"}, "ERROR: File 'missing.kla' not found.",
                  "Destination file set to 'missing.out.kla'.\n"},
        ErrorCase{{"info", "5", "pic.kla"}, "ERROR: File '5' not found."},
        ErrorCase{{"del", "1", "missing.kla", "out.kla"},
                  "ERROR: File 'missing.kla' not found."}));

// A mistyped option ends the run before anything is read or written; "--"
// lets a file name start with a dash, and numbers keep their signs.
INSTANTIATE_TEST_SUITE_P(
    UnknownOptions, ArgumentErrors,
    ::testing::Values(
        ErrorCase{{"png", "pic.kla", "--palete=vice"}, "ERROR: Unknown option '--palete=vice'."},
        ErrorCase{{"del", "10", "5", "28", "10", "pic.kla", "-R"}, "ERROR: Unknown option '-R'."},
        ErrorCase{{"show", "pic.kla", "--palette"}, "ERROR: Unknown option '--palette'."},
        ErrorCase{{"info", "pic.kla", "--palette=vice"},
                  "ERROR: Unknown option '--palette=vice'."},
        ErrorCase{{"merge", "-x", "a.kla", "b.kla"}, "ERROR: Unknown option '-x'."},
        ErrorCase{{"move", "-3", "-2", "pic.kla", "-x.kla"}, "ERROR: Unknown option '-x.kla'."},
        ErrorCase{{"del", "--x", "pic.kla"}, "ERROR: Not a number (0)."},
        ErrorCase{{"filter", "--", "-r"}, "ERROR: Source file '-r' has no file extension."},
        ErrorCase{{"filter", "-", "--"}, "ERROR: Source file '-' has no file extension."},
        // The second "--" is the destination's name.
        ErrorCase{{"filter", "--", "-R.kla", "--"}, "ERROR: File '-R.kla' not found."}));

}  // namespace
}  // namespace bitmosaic
