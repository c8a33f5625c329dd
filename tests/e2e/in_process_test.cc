// A run driven inside the test process must behave exactly like the binary:
// same status, same output, same files. The fuzz target relies on this.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/in_process_run.h"
#include "support/pattern_picture.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::read_file;
using testing::run_in_process;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;

ToolResult capture_in_process(const std::vector<std::string>& arguments) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  ToolResult result;
  result.status = run_in_process(arguments);
  result.out = ::testing::internal::GetCapturedStdout();
  result.err = ::testing::internal::GetCapturedStderr();
  return result;
}

class InProcessRun : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_picture(dir_.file("pic.kla"), testing::pattern_picture());
    testing::write_file(dir_.file("short.kla"), "short");
  }
  std::vector<std::string> in_dir(std::vector<std::string> arguments) const {
    for (std::string& argument : arguments)
      if (argument.find(".kla") != std::string::npos) argument = dir_.file(argument);
    return arguments;
  }
  TempDir dir_;
};

TEST_F(InProcessRun, MatchesTheBinary) {
  const std::vector<std::vector<std::string>> cases = {
      {"help"},
      {"--version"},
      {"frobnicate", "pic.kla"},
      {"del", "1"},
      {"del", "0", "0", "40", "0", "pic.kla"},
      {"moveh", "x", "pic.kla"},
      {"merge", "pic.kla"},
      {"filter", "short.kla", "out.kla"},
      {"filter", "missing.kla"},
      {"filter", "pic.kla", "out.kla", "extra.kla"},
      {"crop", "2", "3", "30", "20", "pic.kla", "out.kla"},
      {"info", "pic.kla"},
  };
  ToolOptions options;
  options.argv0 = "bitmosaic";
  for (const auto& arguments : cases) {
    const std::vector<std::string> located = in_dir(arguments);
    const ToolResult inside = capture_in_process(located);
    const std::optional<std::string> inside_file = read_file(dir_.file("out.kla"));
    std::filesystem::remove(dir_.file("out.kla"));
    const ToolResult binary = run_tool(located, options);
    const std::string label = ::testing::PrintToString(arguments);
    EXPECT_EQ(binary.status, inside.status) << label;
    EXPECT_EQ(binary.out, inside.out) << label;
    EXPECT_EQ(binary.err, inside.err) << label;
    EXPECT_EQ(read_file(dir_.file("out.kla")), inside_file) << label;
    std::filesystem::remove(dir_.file("out.kla"));
  }
}

TEST_F(InProcessRun, NothingCarriesOverToTheNextRun) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(0, run_in_process(in_dir({"del", "0", "0", "0", "0", "pic.kla", "out.kla"})));
  EXPECT_EQ(0, run_in_process(in_dir({"filter", "pic.kla"})));
  const std::string out = ::testing::internal::GetCapturedStdout();
  // The second run names its own destination.
  EXPECT_NE(out.find("Destination file set to '" + dir_.file("pic.out.kla") + "'."),
            std::string::npos)
      << out;
  EXPECT_TRUE(read_file(dir_.file("pic.out.kla")).has_value());
}

}  // namespace
}  // namespace bitmosaic
