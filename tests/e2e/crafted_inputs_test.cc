// Files made to break or stall a reader, through the real binary: each run
// must end in time with its outcome and message, and a refused one writes
// nothing. Their cost is measured in bench/run.sh, not here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "crafted_inputs.h"
#include "support/platform.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"

namespace bitmosaic {
namespace {

using testing::ToolResult;
using testing::write_file;

struct Crafted {
  const char* what;
  std::vector<std::string> arguments;
  const char* name;  // the source made in the folder, or empty
  std::function<void(const std::string& path)> make;
  int status;
  std::string message;  // standard error for a refusal; the line before "Saving..." otherwise
  bool posix_only = false;
};

void write_bytes(const std::string& path, const std::string& bytes) { write_file(path, bytes); }

void write_zero_file(const std::string& path, std::uint64_t size) {
  std::ofstream out(path, std::ios::binary);
  ASSERT_TRUE(write_zeros(out, size));
}

// The little-endian TIFF data of a directory at 8 that claims 0xFFFF
// entries, of which only `whole` 12-byte entries (no orientation among them)
// are there.
std::string tiff_with_entries(int whole) {
  std::string tiff("II*\0\x08\0\0\0\xFF\xFF", 10);
  for (int i = 0; i < whole; ++i) tiff += std::string("\x0F\x01\x02\0\x01\0\0\0\0\0\0\0", 12);
  return tiff;
}

// `jpeg` with the frame header's height and width set to `side`: a file
// that claims a huge image costs no time to make.
std::string claiming(std::string jpeg, int side) {
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
    if (jpeg[i] != '\xFF' || marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 ||
        marker == 0xCC)
      continue;
    for (const std::size_t at : {i + 5, i + 7}) {
      jpeg[at] = static_cast<char>(side >> 8);
      jpeg[at + 1] = static_cast<char>(side & 0xFF);
    }
    break;
  }
  return jpeg;
}

const std::string kSaved = "Saving...\nDone.\n";

const Crafted kCrafted[] = {
    {"a 51 KB program at $6000, by content",
     {"import", "prog", "out.kla"}, "prog",
     [](const std::string& path) { write_bytes(path, program_at(0x6000, 52224)); }, 1,
     "ERROR: File 'prog' is neither a PNG image nor a Koala picture."},
    {"a 51 KB program at $6000, named as Zoomatic",
     {"import", "in.zom", "out.kla"}, "in.zom",
     [](const std::string& path) { write_bytes(path, program_at(0x6000, 52224)); }, 1,
     "ERROR: File 'in.zom' is not in the format zoomatic (Zoomatic)."},
    {"a program one byte past the Zoomatic room",
     {"import", "in", "out.kla", "--format=zoomatic"}, "in",
     [](const std::string& path) { write_bytes(path, program_at(0x6000, 32772)); }, 1,
     "ERROR: File 'in' is not in the format zoomatic (Zoomatic)."},
    {"EXIF data of 10 bytes claiming 0xFFFF entries",
     {"convert", "in.jpg", "out.kla"}, "in.jpg",
     [](const std::string& path) { write_bytes(path, jpeg_with_exif(short_exif_tiff())); }, 0,
     "Image 8x8 (scaled to fill), palette pepto, dither search, background 0 [black]"},
    {"an EXIF entry count past its data",
     {"convert", "in.jpg", "out.kla"}, "in.jpg",
     [](const std::string& path) { write_bytes(path, jpeg_with_exif(tiff_with_entries(3))); }, 0,
     "Image 8x8 (scaled to fill), palette pepto, dither search, background 0 [black]"},
    {"200,000 GIF comments before one pixel",
     {"convert", "in.gif", "out.kla"}, "in.gif",
     [](const std::string& path) { write_bytes(path, gif_comment_flood(200000)); }, 0,
     "Image 1x1 (scaled to fill), palette pepto, dither search, background 0 [black]"},
    {"a valid PNG 20000 pixels wide",
     {"convert", "in.png", "out.kla"}, "in.png",
     [](const std::string& path) { write_bytes(path, wide_png(20000, 10)); }, 0, ""},
    {"a PNG past the area cap",
     {"convert", "in.png", "out.kla"}, "in.png",
     [](const std::string& path) { write_bytes(path, one_bit_png(8000, 8000)); }, 1,
     "ERROR: Image 'in.png' is too large (8000x8000; at most 32000000 pixels)."},
    {"an arithmetic-coded JPEG claiming 65500x65500",
     {"convert", "in.jpg", "out.kla"}, "in.jpg",
     [](const std::string& path) { write_bytes(path, claiming(arithmetic_zero_jpeg(16), 65500)); }, 1,
     "ERROR: Image 'in.jpg' is too large (65500x65500; at most 32000000 pixels)."},
    {"a .kla of 64 MiB of zeros",
     {"import", "in.kla", "out.kla"}, "in.kla",
     [](const std::string& path) { write_zero_file(path, kZeroFileSize); }, 1,
     "ERROR: File 'in.kla' is in none of the formats koala, koala-raw, koala-padded, gg."},
    {"a file one byte over the cap, imported",
     {"import", "in.kla", "out.kla"}, "in.kla",
     [](const std::string& path) { write_zero_file(path, kOverCapFileSize); }, 1,
     "ERROR: File 'in.kla' is too large to read (67108865 bytes, more than 64 MiB)."},
    {"a file one byte over the cap, converted",
     {"convert", "in.jpg", "out.kla"}, "in.jpg",
     [](const std::string& path) { write_zero_file(path, kOverCapFileSize); }, 1,
     "ERROR: File 'in.jpg' is too large to read (67108865 bytes, more than 64 MiB)."},
    {"a folder",
     {"export", "in.kla", "out.gg"}, "in.kla",
     [](const std::string& path) { std::filesystem::create_directory(path); }, 1,
     "ERROR: File 'in.kla' is not a regular file."},
    {"a FIFO",
     {"png", "in.kla", "out.png"}, "in.kla",
     [](const std::string& path) { ASSERT_TRUE(testing::make_fifo(path)); }, 1,
     "ERROR: File 'in.kla' is not a regular file.", true},
    {"a device",
     {"convert", "/dev/zero", "out.kla"}, "",
     [](const std::string&) {}, 1, "ERROR: File '/dev/zero' is not a regular file.", true},
};

class CraftedInputs : public testing::ToolFolderTest,
                      public ::testing::WithParamInterface<Crafted> {};

TEST_P(CraftedInputs, EndInTimeWithTheirMessage) {
  const Crafted& c = GetParam();
  if (c.posix_only) SKIP_ON_WINDOWS("FIFOs and /dev files");
  if (*c.name != '\0') c.make(dir_.file(c.name));
  const std::vector<std::string> before = names();
  options_.time_limit_seconds = 20;
  const ToolResult result = run(c.arguments);
  ASSERT_EQ(c.status, result.status) << result.err;
  if (c.status != 0) {
    EXPECT_EQ(c.message, result.err);
    EXPECT_EQ(before, names());
    return;
  }
  EXPECT_EQ("", result.err);
  const std::size_t saving = result.out.rfind(kSaved);
  ASSERT_NE(std::string::npos, saving) << result.out;
  if (!c.message.empty()) {
    EXPECT_EQ(c.message + "\n" + kSaved, result.out.substr(saving - c.message.size() - 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CraftedInputs, ::testing::ValuesIn(kCrafted),
                         [](const auto& info) {
                           std::string name = info.param.what;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

#if !defined(_WIN32)
TEST(CraftedInputs, UnreadableSourcesGiveTheSystemsReason) {
  SKIP_ON_WINDOWS("mode bits and users");
  testing::TempDir dir;
  testing::open_to_everyone(dir.path());
  write_file(dir.file("secret.kla"), std::string(10003, '\0'));
  ASSERT_EQ(0, ::chmod(dir.file("secret.kla").c_str(), 0));
  testing::ToolOptions options;
  options.directory = dir.path();
  options.without_privileges = true;
  for (const char* command : {"import", "png", "export"}) {
    const ToolResult result = testing::run_tool({command, "secret.kla", "out.gg"}, options);
    if (result.status == testing::kCouldNotDropPrivileges) GTEST_SKIP() << "needs user nobody";
    EXPECT_EQ(1, result.status) << command;
    EXPECT_EQ("ERROR: File 'secret.kla' could not be read (Permission denied).", result.err)
        << command;
  }
}
#endif

}  // namespace
}  // namespace bitmosaic
