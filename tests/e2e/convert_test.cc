// The convert command through the real binary: a legal picture comes back
// as itself, the background asked for is the one used, and an image that
// cannot be read ends the run with its message and writes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/png_export.h"
#include "screenshot.h"
#include "support/image_files.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::error_usage;
using testing::read_file;
using testing::ToolResult;
using testing::write_file;

class ConvertCommand : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    write_file(dir_.file("card.png"),
               render_png(make_test_card(), default_palette(), 320, 200, PngLayout::rgb));
  }

  KoalaPicture picture(const std::string& name) const {
    const std::string bytes = read_file(dir_.file(name)).value_or("");
    KoalaPicture read{};
    EXPECT_EQ(kKoalaFileSize, bytes.size()) << name;
    std::copy_n(bytes.begin(), std::min(bytes.size(), read.size()), read.begin());
    return read;
  }
};

TEST_F(ConvertCommand, ALegalPictureComesBackPixelForPixel) {
  const ToolResult result = run({"convert", "card.png", "--dither=none"});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ("Destination file set to 'card.kla'.\n"
            "Image 320x200, palette pepto, dither none, background 0 [black]\nSaving...\nDone.\n",
            result.out);
  const KoalaPicture card = make_test_card();
  const KoalaPicture converted = picture("card.kla");
  EXPECT_EQ(0x6000, load_address(converted));
  int wrong = 0;
  for (int y = 0; y < kPixelLines; ++y)
    for (int x = 0; x < kPixelColumns; ++x)
      if (displayed_colour(converted, x, y) != displayed_colour(card, x, y) && wrong++ < 5)
        ADD_FAILURE() << "pixel " << x << ", " << y;
  // The default destination is kept from then on.
  EXPECT_EQ(1, run({"convert", "card.png"}).status);
}

TEST_F(ConvertCommand, TheBackgroundAskedForIsUsed) {
  const ToolResult result = run({"convert", "--background=2", "card.png", "red.kla"});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_NE(std::string::npos, result.out.find(", background 2 [red]\n"));
  EXPECT_EQ(2, picture("red.kla")[kBackgroundOffset]);
}

TEST_F(ConvertCommand, AnImageThatCannotBeReadWritesNothing) {
  const std::string photo = testing::encode_jpeg(
      32, 16, std::string(32 * 16 * 3, '\x40'));
  testing::GifFrame frame{8, 8, 0, 0, 8, 8, std::vector<std::uint8_t>(64, 1), {0, 0xFFFFFF}};
  const std::string gif = testing::encode_gif(frame);
  // A progressive photograph holds every coefficient at once: claimed this
  // large, it is refused from its header (height and width in its SOF marker).
  std::string huge = testing::encode_jpeg(32, 16, std::string(32 * 16 * 3, '\x40'), 2);
  const std::size_t sof = huge.find("\xFF\xC2");
  huge.replace(sof + 5, 4, std::string("\x75\x30\x75\x30", 4));
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"cut.jpg", photo.substr(0, photo.size() / 2),
       "ERROR: Image 'cut.jpg' is damaged (Premature end of JPEG file)."},
      {"cut.png", read_file(dir_.file("card.png")).value().substr(0, 100),
       "ERROR: Image 'cut.png' is damaged (file ends early)."},
      {"cut.gif", gif.substr(0, gif.size() - 6),
       "ERROR: Image 'cut.gif' is damaged (Failed to read from given file)."},
      {"huge.jpg", huge, "ERROR: Image 'huge.jpg' is too large (30000x30000; at most 32000000 "
                         "pixels)."},
      {"notes.txt", "words", "ERROR: File 'notes.txt' is not a PNG, JPEG or GIF image."},
  };
  for (const Case& c : cases) write_file(dir_.file(c.name), c.bytes);
  const std::vector<std::string> before = names();
  for (const Case& c : cases) {
    const ToolResult result = run({"convert", c.name, "out.kla"});
    EXPECT_EQ(1, result.status) << c.name;
    EXPECT_EQ(c.message, result.err);
    EXPECT_EQ(error_usage(), result.out);
  }
  EXPECT_EQ(before, names());
}

}  // namespace
}  // namespace bitmosaic
