// The command line through the real binary: help words, usage layout, and
// every argument error with its exact message and exit status.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/help_texts.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::error_usage;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;

// The usage block as print_usage writes it for `name`: the first line
// carries the name, the others are indented to stand under "info".
std::string usage_for(const std::string& name) {
  std::istringstream fixed(error_usage().substr(std::string("\n\nUsage:\n").size()));
  std::string line;
  std::string usage = "\n";
  std::getline(fixed, line);
  usage += name + line.substr(std::string("bitmosaic").size()) + "\n";
  while (std::getline(fixed, line))
    usage += std::string(name.size(), ' ') + line.substr(std::string("bitmosaic").size()) + "\n";
  return usage;
}

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3u;
  return hash;
}

const std::string kTitle = "Apply effects on Koala file(s).\n(Version: 1.0.0)\n";

TEST(HelpWords, NoArgumentsPrintsTitleAndUsageWithTheNameAsTyped) {
  ToolOptions options;
  options.argv0 = "./tools/bitmosaic";
  const ToolResult result = run_tool({}, options);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(kTitle + usage_for("./tools/bitmosaic"), result.out);
  EXPECT_EQ("", result.err);
}

TEST(HelpWords, UsageKeywordsStandUnderInfo) {
  const std::string usage = usage_for("./tools/bitmosaic");
  EXPECT_NE(std::string::npos,
            usage.find("\n./tools/bitmosaic info [<col> <row>] <src> \n"
                       "                  del <x1> <y1>"));
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
  const std::string head = kTitle + usage_for("bm");
  ASSERT_EQ(head, result.out.substr(0, head.size()));
  const std::string detail = result.out.substr(head.size());
  // The detailed help is fixed text, trailing blanks and spelling included,
  // followed by the lines of the two preview commands.
  const std::string preview_lines =
      "\n"
      "png .......... Saves the picture as a PNG image (320x200 pixels) \n"
      "show ......... Shows the picture in the terminal (24-bit colours) \n";
  ASSERT_EQ(1984u + preview_lines.size(), detail.size());
  EXPECT_EQ(0xc5a86b6beed89f15u, fnv1a(detail.substr(0, 1984)));
  EXPECT_NE(std::string::npos,
            detail.find("\n               (This will likely cause artifacts) \n"));
  const std::string last_lines =
      "\nAlways provide the full file name including extension \n" + preview_lines;
  EXPECT_EQ(last_lines, detail.substr(detail.size() - last_lines.size()));
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

TEST(HelpWords, OptionWordsAfterACommandAreFileNames) {
  TempDir dir;
  ToolOptions options;
  options.directory = dir.path();
  const ToolResult result = run_tool({"filter", "--version"}, options);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Source file '--version' has no file extension.", result.err);
}

TEST(HelpWords, ExamplesAreFixedText) {
  const ToolResult result = run_tool({"examples"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(1505u, result.out.size());
  EXPECT_EQ(0x9f2fc017f90c9114u, fnv1a(result.out));
  EXPECT_EQ(0u, result.out.find("Examples: \n\nBitMosaic info 5 5 pic.kla\n"));
}

TEST(HelpWords, MorePrintsTheSixCreditLines) {
  const ToolResult result = run_tool({"more", "-r"});
  EXPECT_EQ(0, result.status);
  std::istringstream text(result.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ("This idea ended up in many more options that have been implemented finally.",
            lines[1]);
  EXPECT_EQ("", lines[2]);
  EXPECT_EQ("during the phase of development. ", lines[4]);
  EXPECT_EQ("This feature is hidden. Let's see, if you find it. :-p", lines[5]);
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
        ErrorCase{{"delv", "10", "20", "", "pic.kla"},
                  "ERROR: Number (0) too low. [Minimum: 1]"},
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

}  // namespace
}  // namespace bitmosaic
