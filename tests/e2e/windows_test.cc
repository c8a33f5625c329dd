// Saving on Windows, through the real bitmosaic.exe: what the POSIX save
// tests check where Windows has a way of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "picture/utf16_win32.h"
#include "support/pattern_picture.h"
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

class WindowsSave : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    write_picture(dir_.file("pic.kla"), pattern_picture());
    write_file(dir_.file("old.kla"), "precious");
  }
  std::size_t temporary_files() {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      if (entry.path().filename().string().starts_with(".bitmosaic-")) ++count;
    return count;
  }
  std::wstring wide(const std::string& name) {
    return std::filesystem::path(dir_.file(name)).wstring();
  }
};

TEST_F(WindowsSave, ReplacesAnExistingFile) {
  const ToolResult result = run({"filter", "pic.kla", "old.kla"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ(10003u, read_file(dir_.file("old.kla")).value_or("").size());
  EXPECT_EQ(0u, temporary_files());
}

TEST_F(WindowsSave, RefusesAReadOnlyDestinationWithTheReason) {
  ASSERT_TRUE(SetFileAttributesW(wide("old.kla").c_str(), FILE_ATTRIBUTE_READONLY));
  const ToolResult result = run({"filter", "pic.kla", "old.kla"});
  SetFileAttributesW(wide("old.kla").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File 'old.kla' could not be written (" + error_text(ERROR_ACCESS_DENIED) + ").",
            result.err);
  EXPECT_EQ("Saving...\n" + error_usage(), result.out);
  EXPECT_EQ("precious", read_file(dir_.file("old.kla")));
}

// Another program holding the file without sharing it: the save waits a
// moment, then gives up with the reason, leaving the old file and nothing
// else.
TEST_F(WindowsSave, ADestinationHeldOpenFailsAfterAWhileAndKeepsTheOldFile) {
  HANDLE held = CreateFileW(wide("old.kla").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const ToolResult result = run({"filter", "pic.kla", "old.kla"});
  CloseHandle(held);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(0u, result.err.find("ERROR: File 'old.kla' could not be written (")) << result.err;
  EXPECT_EQ("precious", read_file(dir_.file("old.kla")));
  EXPECT_EQ(0u, temporary_files());
}

TEST_F(WindowsSave, ADestinationHeldOpenForAMomentIsWrittenOnceItIsFree) {
  HANDLE held = CreateFileW(wide("old.kla").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  std::thread release([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CloseHandle(held);
  });
  const ToolResult result = run({"filter", "pic.kla", "old.kla"});
  release.join();
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ(10003u, read_file(dir_.file("old.kla")).value_or("").size());
  EXPECT_EQ(0u, temporary_files());
}

TEST_F(WindowsSave, AUtf8NameArrivesWhateverTheCodePage) {
  const std::string name = "\xE7\xB5\xB5.kla";  // 絵.kla
  std::filesystem::copy_file(dir_.file("pic.kla"),
                             std::filesystem::path(dir_.path()) / std::filesystem::u8path(name));
  const ToolResult result = run({"filter", name});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("Destination file set to '\xE7\xB5\xB5.out.kla'.\nSaving...\nDone.\n", result.out);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir_.path()) /
                                      std::filesystem::u8path("\xE7\xB5\xB5.out.kla")));
}

TEST_F(WindowsSave, NulTakesTheBytesDirectly) {
  const ToolResult result = run({"filter", "pic.kla", "NUL"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("Saving...\nDone.\n", result.out);
  EXPECT_EQ(0u, temporary_files());
}

}  // namespace
}  // namespace bitmosaic
