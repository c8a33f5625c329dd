// The import command through the real binary: the round trip through png,
// the destination it names or refuses, and a bad image that writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "screenshot.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::error_usage;
using testing::read_file;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_file;
using testing::write_picture;

class ImportCommand : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    write_picture(dir_.file("card.kla"), make_test_card());
  }
};

TEST_F(ImportCommand, APngOfAPictureComesBackAsTheSamePng) {
  ASSERT_EQ(0, run({"png", "card.kla", "a.png"}).status);
  const ToolResult imported = run({"import", "a.png"});
  EXPECT_EQ(0, imported.status) << imported.err;
  EXPECT_EQ("Destination file set to 'a.kla'.\n"
            "Image 320x200, palette pepto, background 6 [blue]\nSaving...\nDone.\n",
            imported.out);
  ASSERT_EQ(0, run({"png", "a.kla", "b.png"}).status);
  EXPECT_EQ(read_file(dir_.file("a.png")), read_file(dir_.file("b.png")));
}

TEST_F(ImportCommand, AKoalaSourceGetsTheUsualOutName) {
  const ToolResult result = run({"import", "card.kla"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Destination file set to 'card.out.kla'.\nKoala picture, load address $6000\n"
            "Saving...\nDone.\n",
            result.out);
  EXPECT_EQ(read_file(dir_.file("card.kla")), read_file(dir_.file("card.out.kla")));
}

TEST_F(ImportCommand, APngDestinationIsRefusedBeforeAnythingIsRead) {
  for (const char* destination : {"out.png", "OUT.Png"}) {
    const ToolResult result = run({"import", "missing.kla", destination});
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(std::string("ERROR: Destination '") + destination +
                  "' is named like a PNG image; import writes Koala pictures.",
              result.err);
    EXPECT_EQ(error_usage(), result.out);
  }
}

TEST_F(ImportCommand, ABadImageEndsTheRunAndWritesNothing) {
  write_file(dir_.file("wide.png"),
             render_png(make_test_card(), default_palette(), 384, 272, PngLayout::rgba).substr(0, 33));
  write_file(dir_.file("notes.txt"), "not a picture");
  const ToolResult damaged = run({"import", "wide.png", "out.kla"});
  EXPECT_EQ(1, damaged.status);
  EXPECT_EQ(0u, damaged.err.find("ERROR: Image 'wide.png' is damaged ("));
  EXPECT_EQ(error_usage(), damaged.out);
  const ToolResult text = run({"import", "notes.txt", "out.kla"});
  EXPECT_EQ(1, text.status);
  EXPECT_EQ("ERROR: File 'notes.txt' is neither a PNG image nor a Koala picture.", text.err);
  EXPECT_EQ((std::vector<std::string>{"card.kla", "notes.txt", "wide.png"}), names());
}

// A PNG beside its Koala picture is the usual layout: the default
// destination of import and png never replaces the other one, while the
// tool's own .out. names and named destinations are replaced as always.
TEST_F(ImportCommand, TheDefaultDestinationKeepsAnExistingFile) {
  ASSERT_EQ(0, run({"png", "card.kla", "card.png"}).status);
  const std::string drawing = read_file(dir_.file("card.png")).value();
  const std::string picture = read_file(dir_.file("card.kla")).value();
  struct Case {
    std::vector<std::string> arguments;
    const char* kept;
  } cases[] = {{{"png", "card.kla"}, "card.png"}, {{"import", "card.png"}, "card.kla"}};
  for (const Case& c : cases) {
    const ToolResult result = run(c.arguments);
    EXPECT_EQ(1, result.status) << c.kept;
    EXPECT_EQ(std::string("ERROR: File '") + c.kept +
                  "' exists; name it as the destination to replace it.",
              result.err);
    EXPECT_EQ(std::string("Destination file set to '") + c.kept + "'.\n" + error_usage(),
              result.out);
  }
  EXPECT_EQ(drawing, read_file(dir_.file("card.png")));
  EXPECT_EQ(picture, read_file(dir_.file("card.kla")));
  EXPECT_EQ((std::vector<std::string>{"card.kla", "card.png"}), names());

  // A Koala picture named .png gets png's own name, replaced on the next run.
  write_file(dir_.file("pic.png"), picture);
  for (int round = 0; round < 2; ++round) {
    const ToolResult own = run({"png", "pic.png"});
    EXPECT_EQ(0, own.status) << own.err;
    EXPECT_EQ("Destination file set to 'pic.out.png'.\nSaving...\nDone.\n", own.out);
  }
  EXPECT_EQ(picture, read_file(dir_.file("pic.png")));
  EXPECT_EQ(drawing, read_file(dir_.file("pic.out.png")));
  ASSERT_EQ(0, run({"import", "card.png", "card.kla"}).status);
}

}  // namespace
}  // namespace bitmosaic
