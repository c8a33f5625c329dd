// Faults around the files of a run, through the real binary: sources that
// are not pictures, and destinations that cannot take the result.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "support/pattern_picture.h"
#include "support/platform.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"

namespace bitmosaic {
namespace {

using testing::error_usage;
using testing::pattern_picture;
using testing::read_file;
using testing::read_picture;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_file;
using testing::write_picture;

class FileFaults : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    write_picture(dir_.file("pic.kla"), pattern_picture());
  }
  void expect_not_written(const ToolResult& result, const std::string& destination,
                          const std::string& reason) {
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("ERROR: File '" + destination + "' could not be written (" + reason + ").",
              result.err);
    EXPECT_EQ("Saving...\n" + error_usage(), result.out);
  }
};

TEST_F(FileFaults, SourcesThatAreNotRegularFilesAreNotFound) {
  SKIP_ON_WINDOWS("FIFOs and /dev/null");
  ASSERT_TRUE(testing::make_fifo(dir_.file("pipe.kla")));
  std::filesystem::create_directory(dir_.file("folder.kla"));
  for (const std::string& source : std::vector<std::string>{"pipe.kla", "folder.kla", "/dev/null"}) {
    const auto started = std::chrono::steady_clock::now();
    const ToolResult result = run({"filter", source, "out.kla"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(1, result.status) << source;
    EXPECT_EQ("ERROR: File '" + source + "' not found.", result.err);
    EXPECT_EQ(error_usage(), result.out);
  }
}

TEST_F(FileFaults, AHugeSparseSourceIsRejectedAtOnceWithItsRealSize) {
  SKIP_ON_WINDOWS("sparse files");
  {
    std::filesystem::path big = dir_.file("big.kla");
    write_file(big.string(), "");
    std::filesystem::resize_file(big, 5ull << 30);
  }
  const auto started = std::chrono::steady_clock::now();
  const ToolResult result = run({"filter", "big.kla", "out.kla"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Wrong filesize for 'big.kla' (5368709120).", result.err);
}

// Permission tests run the tool as an ordinary user even when the suite runs
// as root, who may read and write anything.
TEST_F(FileFaults, AnUnreadableSourceIsNotFound) {
  SKIP_ON_WINDOWS("mode bits and users");
  testing::open_to_everyone(dir_.path());
  ::chmod(dir_.file("pic.kla").c_str(), 0);
  options_.without_privileges = true;
  const ToolResult result = run({"filter", "pic.kla", "out.kla"});
  if (result.status == testing::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root";
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File 'pic.kla' not found.", result.err);
}

TEST_F(FileFaults, AMissingDirectoryIsAFailedSave) {
  SKIP_ON_WINDOWS("POSIX error texts");
  expect_not_written(run({"filter", "pic.kla", "no/such/dir/out.kla"}),
                     "no/such/dir/out.kla", "No such file or directory");
}

TEST_F(FileFaults, AFullDiskIsAFailedSave) {
  SKIP_ON_WINDOWS("/dev/full");
  expect_not_written(run({"filter", "pic.kla", "/dev/full"}), "/dev/full",
                     "No space left on device");
}

TEST_F(FileFaults, AShortWriteKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
  SKIP_ON_WINDOWS("RLIMIT_FSIZE");
  write_file(dir_.file("old.kla"), "precious");
  options_.file_size_limit = 4096;  // the new picture cannot be written whole
  expect_not_written(run({"filter", "pic.kla", "old.kla"}), "old.kla", "File too large");
  EXPECT_EQ("precious", read_file(dir_.file("old.kla")));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    ++entries;
  EXPECT_EQ(2u, entries) << "pic.kla and old.kla only";
}

TEST_F(FileFaults, AFolderWithoutWritePermissionIsAFailedSave) {
  SKIP_ON_WINDOWS("mode bits and users");
  testing::open_to_everyone(dir_.path());
  std::filesystem::create_directory(dir_.file("locked"));
  write_file(dir_.file("locked/old.kla"), "precious");
  ::chmod(dir_.file("locked").c_str(), 0555);
  options_.without_privileges = true;
  const ToolResult result = run({"filter", "pic.kla", "locked/old.kla"});
  if (result.status == testing::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root";
  expect_not_written(result, "locked/old.kla", "Permission denied");
  EXPECT_EQ("precious", read_file(dir_.file("locked/old.kla")));
}

TEST_F(FileFaults, APipeThatNobodyReadsIsAFailedSaveNotAHang) {
  SKIP_ON_WINDOWS("FIFOs");
  ASSERT_TRUE(testing::make_fifo(dir_.file("pipe")));
  options_.time_limit_seconds = 10;
  expect_not_written(run({"filter", "pic.kla", "pipe"}), "pipe", "No such device or address");
}

TEST_F(FileFaults, ALinkAsDestinationIsWrittenThroughAndStaysALink) {
  SKIP_ON_WINDOWS("symbolic links");
  std::filesystem::create_directory(dir_.file("real"));
  write_file(dir_.file("real/old.kla"), "precious");
  std::filesystem::create_symlink("real/old.kla", dir_.file("link.kla"));
  ASSERT_EQ(0, run({"filter", "pic.kla", "link.kla"}).status);
  ASSERT_EQ(0, run({"filter", "pic.kla", "plain.kla"}).status);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("link.kla")));
  EXPECT_EQ(read_file(dir_.file("plain.kla")), read_file(dir_.file("real/old.kla")));
}

// Writers racing for one destination: whichever rename comes last wins, but
// the file always holds one whole result and no temporary file survives.
TEST_F(FileFaults, ConcurrentRunsLeaveOneWholeResult) {
  constexpr int kRuns = 32;
  std::vector<std::string> expected;
  std::vector<std::vector<std::string>> commands;
  for (int i = 0; i < kRuns; ++i) {
    const std::string cell = std::to_string(i);
    commands.push_back({"del", cell, "0", cell, "24", "pic.kla"});
    const std::string own = "own" + cell + ".kla";
    std::vector<std::string> alone = commands.back();
    alone.push_back(own);
    ASSERT_EQ(0, run(alone).status);
    expected.push_back(*read_file(dir_.file(own)));
    std::filesystem::remove(dir_.file(own));
    commands.back().push_back("shared.kla");
  }
  std::vector<pid_t> children;
  for (const auto& command : commands) children.push_back(testing::start_tool(command, options_));
  for (const pid_t child : children) EXPECT_EQ(0, testing::wait_tool(child));
  const std::optional<std::string> shared = read_file(dir_.file("shared.kla"));
  ASSERT_TRUE(shared.has_value());
  EXPECT_NE(std::find(expected.begin(), expected.end(), *shared), expected.end())
      << "the shared destination mixes several results";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"pic.kla", "shared.kla"}), names);
}

TEST_F(FileFaults, DevNullTakesTheResult) {
  const ToolResult result = run({"filter", "pic.kla", "/dev/null"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Saving...\nDone.\n", result.out);
}

TEST_F(FileFaults, TheSourceMayBeItsOwnDestination) {
  const ToolResult result = run({"del", "0", "pic.kla", "pic.kla"});
  EXPECT_EQ(0, result.status);
  const auto written = read_picture(dir_.file("pic.kla"));
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(0, (*written)[2]);
  EXPECT_EQ(pattern_picture()[8002], (*written)[8002]);
}

}  // namespace
}  // namespace bitmosaic
