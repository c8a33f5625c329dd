// The doors of our own commands through the real binary: png, show and
// export read any picture import takes; import and convert write the form
// the destination's name names. Each row checks the form written and that
// its pixels are the source's.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "import/import_file.h"
#include "screenshot.h"
#include "support/image_files.h"
#include "support/png_decode.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"
#include "support/written_picture.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::read_file;
using testing::ToolResult;
using testing::write_file;

// The picture a file holds, read as import reads it.
std::optional<KoalaPicture> picture_in(const std::string& file, const std::string& name) {
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  const ImportResult read = import_file(bytes, name);
  if (!read.imported) return std::nullopt;
  return read.picture;
}

class Doors : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    testing::write_picture(dir_.file("card.kla"), card_);
    ASSERT_EQ(0, run({"export", "card.kla", "card.gg"}).status);
    ASSERT_EQ(0, run({"png", "card.kla", "card.png"}).status);
    const std::string rgb = [] {
      std::string pixels;
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
          pixels += {static_cast<char>(x * 4 / 5), static_cast<char>(y), static_cast<char>(96)};
      return pixels;
    }();
    write_file(dir_.file("photo.jpg"), testing::encode_jpeg(320, 200, rgb));
  }

  std::string file(const std::string& name) const { return read_file(dir_.file(name)).value(); }

  const KoalaPicture card_ = make_test_card();
};

TEST_F(Doors, EveryPictureComesIn) {
  const std::string koala_png = file("card.png");
  const std::string koala_show = run({"show", "card.kla"}).out;
  struct Row {
    const char* source;
    const char* line;  // the description png and export print first
  } rows[] = {
      {"card.gg", "Packed Koala picture of "},
      {"card.png", "Image 320x200, palette pepto, background 6 [blue]"},
  };
  for (const Row& row : rows) {
    const std::string source = row.source;
    const ToolResult png = run({"png", source, "out.png"});
    ASSERT_EQ(0, png.status) << source << png.err;
    EXPECT_EQ(0u, png.out.find(row.line)) << png.out;
    EXPECT_EQ(koala_png, file("out.png")) << source;
    const ToolResult show = run({"show", source});
    EXPECT_EQ(koala_show, show.out) << source;
    const ToolResult exported = run({"export", source, "out.drz"});
    ASSERT_EQ(0, exported.status) << source << exported.err;
    EXPECT_EQ(0u, exported.out.find(row.line)) << exported.out;
    const std::optional<KoalaPicture> back = picture_in(file("out.drz"), "out.drz");
    ASSERT_TRUE(back) << source;
    EXPECT_TRUE(testing::shows_the_same_pixels(card_, *back)) << source;
  }
  // A Koala source says nothing more than it always did; --from= names the
  // source's format where its name does not.
  EXPECT_EQ("Saving...\nDone.\n", run({"png", "card.kla", "again.png"}).out);
  write_file(dir_.file("card.bin"), file("card.gg"));
  const ToolResult from = run({"png", "card.bin", "from.png", "--from=gg"});
  EXPECT_EQ(0, from.status) << from.err;
  EXPECT_EQ(koala_png, file("from.png"));
}

TEST_F(Doors, TheDestinationsNameChoosesTheForm) {
  const ToolResult reference = run({"convert", "photo.jpg", "photo.kla"});
  ASSERT_EQ(0, reference.status) << reference.err;
  const KoalaPicture converted = *picture_in(file("photo.kla"), "photo.kla");
  struct Row {
    const char* command;
    const char* source;
    const char* destination;
    bool koala;  // written as the 10003 bytes of a Koala picture
  } rows[] = {
      {"import", "card.png", "out.kla", true},  {"import", "card.png", "out.gg", false},
      {"import", "card.png", "out.png", false}, {"convert", "photo.jpg", "out.kla", true},
      {"convert", "photo.jpg", "out.gg", false}, {"convert", "photo.jpg", "out.png", false},
      {"import", "card.png", "out.prg", false}, {"convert", "photo.jpg", "out.prg", false},
  };
  for (const Row& row : rows) {
    const std::string destination = row.destination;
    const ToolResult result = run({row.command, row.source, destination});
    ASSERT_EQ(0, result.status) << row.command << " " << destination << result.err;
    const std::string written = file(destination);
    EXPECT_EQ(row.koala, written.size() == kKoalaFileSize) << destination;
    if (destination.ends_with(".png")) {
      EXPECT_EQ(320u, testing::decode_png(written).width);
    } else if (destination.ends_with(".prg")) {
      EXPECT_EQ(std::string("\x01\x08", 2), written.substr(0, 2));
    } else if (destination.ends_with(".gg")) {
      EXPECT_NE(std::string::npos, result.out.find("Writing Packed Koala picture of "));
    }
    const std::optional<KoalaPicture> back = picture_in(written, destination);
    ASSERT_TRUE(back) << row.command << " " << destination;
    const KoalaPicture& source = std::string(row.command) == "import" ? card_ : converted;
    EXPECT_TRUE(testing::shows_the_same_pixels(source, *back)) << row.command << " " << destination;
  }
}

TEST_F(Doors, RefusalsWriteNothing) {
  struct Row {
    std::vector<std::string> arguments;
    const char* message;
  } rows[] = {
      {{"import", "card.png", "card.png"},
       "ERROR: Destination 'card.png' is the source; name another file."},
      {{"convert", "photo.jpg", "./photo.jpg"},
       "ERROR: Destination './photo.jpg' is the source; name another file."},
      {{"export", "card.gg", "card.gg"},
       "ERROR: Destination 'card.gg' is the source; name another file."},
      {{"png", "card.png", "card.png"},
       "ERROR: Destination 'card.png' is the source; name another file."},
      {{"export", "card.kla", "out.kla", "--format=drazpaint"},
       "ERROR: Destination 'out.kla' is not named like a drazpaint file."},
      {{"convert", "photo.jpg", "out.prg", "--format=gg"},
       "ERROR: Destination 'out.prg' is not named like a gg file."},
      {{"import", "basic.prg", "out.kla"},
       "ERROR: File 'basic.prg' is a program, not a picture file."},
      {{"png", "basic", "out.png"}, "ERROR: File 'basic' is a program, not a picture file."},
  };
  // A BASIC program of one line, 10 PRINT, that no picture format reads.
  write_file(dir_.file("basic.prg"),
             std::string("\x01\x08\x07\x08\x0a\x00\x99\x00\x00\x00", 10));
  write_file(dir_.file("basic"), file("basic.prg"));
  const std::vector<std::string> before = names();
  const std::string card_png = file("card.png");
  for (const Row& row : rows) {
    const ToolResult result = run(row.arguments);
    EXPECT_EQ(1, result.status) << row.message;
    EXPECT_EQ(row.message, result.err);
  }
  EXPECT_EQ(before, names());
  EXPECT_EQ(card_png, file("card.png"));
}

}  // namespace
}  // namespace bitmosaic
