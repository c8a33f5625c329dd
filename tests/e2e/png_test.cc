// The png command through the real binary.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/png_decode.h"
#include "support/run_tool.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::expect_png_shows;
using testing::read_file;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_picture;

class PngCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.directory = dir_.path();
    write_picture(dir_.file("pic.kla"), make_test_card());
  }
  TempDir dir_;
  ToolOptions options_;
};

TEST_F(PngCommand, NamesTheDestinationAfterTheSourceAndWritesThePicture) {
  const ToolResult result = run_tool({"png", "pic.kla"}, options_);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Destination file set to 'pic.png'.\nSaving...\nDone.\n", result.out);
  const auto file = read_file(dir_.file("pic.png"));
  ASSERT_TRUE(file.has_value());
  expect_png_shows(make_test_card(), *file);
}

TEST_F(PngCommand, ANamedDestinationAndTheOpener) {
  std::filesystem::create_directory(dir_.file("bin"));
  testing::write_file(dir_.file("bin/xdg-open"),
                      "#!/bin/sh\necho \"$1\" > '" + dir_.file("opened") + "'\n");
  std::filesystem::permissions(dir_.file("bin/xdg-open"), std::filesystem::perms::owner_all);
  options_.environment["PATH"] = dir_.file("bin") + ":/usr/bin:/bin";
  const ToolResult result = run_tool({"png", "pic.kla", "-r", "view.png"}, options_);
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Saving...\nDone.\n", result.out);
  EXPECT_EQ("view.png\n", read_file(dir_.file("opened")));
}

TEST_F(PngCommand, AFailedSaveIsAnError) {
  const ToolResult result = run_tool({"png", "pic.kla", "/dev/full"}, options_);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File '/dev/full' could not be written (No space left on device).", result.err);
  EXPECT_EQ("Saving...\n" + testing::error_usage(), result.out);
}

TEST_F(PngCommand, TakesNoNumbersAndNoSecondPicture) {
  const ToolResult result = run_tool({"png", "pic.kla", "a.png", "b.png"}, options_);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Bad argument b.png\n\n", result.err);
  const ToolResult numbered = run_tool({"png", "5", "pic.kla"}, options_);
  EXPECT_EQ(1, numbered.status);
  EXPECT_EQ("ERROR: File '5' not found.", numbered.err);  // 5 is the source, pic.kla the destination
}

}  // namespace
}  // namespace bitmosaic
