// The import command through the real binary: the round trip through png,
// the destination it names or refuses, and a bad image that writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "hostile_png.h"
#include "preview/png_export.h"
#include "screenshot.h"
#include "support/platform.h"
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

TEST_F(ImportCommand, APngDestinationGetsThePictureAsPngDraws) {
  ASSERT_EQ(0, run({"png", "card.kla", "card.png"}).status);
  ASSERT_EQ(0, run({"import", "card.png", "again.PNG"}).status);
  EXPECT_EQ(read_file(dir_.file("card.png")), read_file(dir_.file("again.PNG")));
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

// Files made to cost a careless reader minutes and gigabytes, each run with
// one second of processor time (on POSIX systems) and checked for its
// outcome: text chunks are skipped unread, the image data after the last
// row is not looked at (here the file even ends inside it), and an index
// beyond the palette is found. bench/run.sh measures what they cost.
struct HostileCase {
  const char* what;
  HostileForm form;
  std::string error;  // empty: the test card comes through unchanged
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c) { return out << c.what; }

HostileForm text_bomb(TextChunk text) {
  HostileForm form;
  form.text_chunks = 128;
  form.text = text;
  form.text_bytes = 7 << 20;  // under the 8 MB that libpng inflates a chunk to by default
  return form;
}

HostileForm long_stream_cut_off() {
  HostileForm form;
  form.excess_bytes = std::size_t{4} << 30;
  form.cut_in_excess = true;
  return form;
}

HostileForm short_palette() {
  HostileForm form;
  form.palette_colours = 8;
  return form;
}

HostileForm chunk_flood() {
  HostileForm form;
  form.empty_chunks = (std::size_t{1} << 20) + 1;  // one more than any encoder writes
  return form;
}

class HostileImages : public ImportCommand, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileImages, AreReadOnlyAsFarAsTheirPicture) {
  const HostileCase& c = GetParam();
  write_file(dir_.file("x.png"), hostile_png(make_test_card(), c.form));
#if !defined(_WIN32)
  options_.cpu_limit_seconds = 1;
#endif
  const ToolResult result = run({"import", "x.png", "x.kla"});
  EXPECT_EQ(c.error, result.err);
  if (!c.error.empty()) {
    EXPECT_EQ(1, result.status);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("x.kla")));
    return;
  }
  EXPECT_EQ(0, result.status);
  const std::optional<KoalaPicture> imported = testing::read_picture(dir_.file("x.kla"));
  ASSERT_TRUE(imported.has_value());
  const KoalaPicture card = make_test_card();
  int wrong = 0;
  for (int y = 0; y < kPixelLines; ++y)
    for (int x = 0; x < kPixelColumns; ++x)
      wrong += displayed_colour(*imported, x, y) != displayed_colour(card, x, y) ? 1 : 0;
  EXPECT_EQ(0, wrong) << "pixels that differ from the test card";
}

INSTANTIATE_TEST_SUITE_P(
    Bombs, HostileImages,
    ::testing::Values(
        HostileCase{"128 zTXt chunks of 7 MiB each", text_bomb(TextChunk::compressed), ""},
        HostileCase{"128 iTXt chunks of 7 MiB each", text_bomb(TextChunk::international), ""},
        HostileCase{"4 GiB of image data after the last row, cut off", long_stream_cut_off(), ""},
        HostileCase{"palette indexes beyond PLTE", short_palette(),
                    "ERROR: Image 'x.png' is damaged (the pixel at 10, 0 has palette index 9; "
                    "the palette has 8 colours)."},
        HostileCase{"over a million empty chunks", chunk_flood(),
                    "ERROR: Image 'x.png' is damaged (too many chunks)."}));

TEST_F(ImportCommand, AFileOverTheReadLimitSaysItIsTooLarge) {
  SKIP_ON_WINDOWS("sparse files");
  write_file(dir_.file("big.png"), render_png(make_test_card(), default_palette(), 320, 200,
                                              PngLayout::palette));
  std::filesystem::resize_file(dir_.file("big.png"), (64u << 20) + 1);
  const ToolResult result = run({"import", "big.png", "out.kla"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File 'big.png' is too large to read (67108865 bytes, more than 64 MiB).",
            result.err);
  EXPECT_EQ(error_usage(), result.out);
}

}  // namespace
}  // namespace bitmosaic
