// The png command through the real binary.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/png_decode.h"
#include "support/platform.h"
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
  SKIP_ON_WINDOWS("a shell script as the desktop's opener");
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
  SKIP_ON_WINDOWS("/dev/full");
  const ToolResult result = run_tool({"png", "pic.kla", "/dev/full"}, options_);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File '/dev/full' could not be written (No space left on device).", result.err);
  EXPECT_EQ("Saving...\n" + testing::error_usage(), result.out);
}

TEST_F(PngCommand, TakesNoNumbersAndNoSecondPicture) {
  const ToolResult result = run_tool({"png", "pic.kla", "a.png", "b.png"}, options_);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Bad argument b.png\n\n", result.err);
  const ToolResult numbered = run_tool({"png", "5", "pic.png"}, options_);
  EXPECT_EQ(1, numbered.status);
  EXPECT_EQ("ERROR: File '5' not found.", numbered.err);  // 5 is the source, pic.png the destination
}

TEST_F(PngCommand, AKoalaNamedDestinationIsRefusedBeforeAnythingIsRead) {
  for (const char* destination : {"pic.kla", "b.KLA"}) {
    const ToolResult result = run_tool({"png", "missing.kla", destination}, options_);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(std::string("ERROR: Destination '") + destination +
                  "' is named like a Koala picture; png writes PNG images.",
              result.err);
  }
  EXPECT_EQ(make_test_card(), testing::read_picture(dir_.file("pic.kla")));
}

TEST_F(PngCommand, PaintsWithTheChosenPaletteAndNamesTheKnownOnes) {
  SKIP_ON_WINDOWS("/dev/stdout");
  const ToolResult chosen = run_tool({"png", "--palette=VICE", "pic.kla", "vice.png"}, options_);
  ASSERT_EQ(0, chosen.status) << chosen.err;
  const testing::DecodedPng decoded = testing::decode_png(read_file(dir_.file("vice.png")).value_or(""));
  ASSERT_EQ(320u, decoded.width);
  const testing::DecodedPng pepto =
      testing::decode_png(run_tool({"png", "pic.kla", "/dev/stdout"}, options_).out);
  EXPECT_NE(pepto.rgb, decoded.rgb);
  const ToolResult unknown = run_tool({"png", "pic.kla", "--palette=sepia"}, options_);
  EXPECT_EQ(1, unknown.status);
  EXPECT_EQ("ERROR: Unknown palette 'sepia'; known palettes: pepto, colodore, colodore-soft, "
            "colodore-vivid, vice, vice-old-lum, vice-3.7.1-internal, community-colors, "
            "pantaloon, perplex-1, perplex-2, lenyn, archmage, electric, ste, le-funge.",
            unknown.err);
  // The other commands do not take it.
  const ToolResult other = run_tool({"filter", "pic.kla", "--palette=vice"}, options_);
  EXPECT_EQ(1, other.status);
  EXPECT_EQ("ERROR: Unknown option '--palette=vice'.", other.err);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("--palette=vice")));
}

}  // namespace
}  // namespace bitmosaic
