// Which format a file is: files that are no pictures are not taken, a name
// or the user decides what is tried, and where the evidence cannot decide
// the candidates are named.
#include "import/find_picture.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/format_files.h"
#include "import/import_file.h"
#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using Bytes = std::vector<std::uint8_t>;

const PictureFormat& format(const char* name) { return *format_named(name); }

Bytes written(const char* name, const KoalaPicture& picture) {
  auto file = std::make_unique<FormatFile>();
  write_format_file(format(name), picture, kBorderIsBackground, "p", *file);
  return Bytes(file->bytes().begin(), file->bytes().end());
}

// Text of random words, as a changelog or a manual is: it packs well.
std::string random_text(std::mt19937& random, std::size_t size) {
  static const char* const kWords[] = {"the",  "picture", "fixed", "colour", "memory", "load",
                                       "when", "file",    "and",   "is",     "bug",    "(#12)",
                                       "\n",   "release", "of",    "a",      "disk",   "byte"};
  std::string text;
  while (text.size() < size) {
    text += kWords[random() % std::size(kWords)];
    text += ' ';
  }
  return text;
}

// Compressed text in one of deflate's three wrappings, cut to `size`.
Bytes compressed_text(std::mt19937& random, std::size_t size) {
  const std::string text = random_text(random, size * 6);
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(1 + random() % 12);
  Bytes out(text.size() + 1024);
  const auto compress = random() % 3 == 0   ? libdeflate_deflate_compress
                        : random() % 2 == 0 ? libdeflate_zlib_compress
                                            : libdeflate_gzip_compress;
  const std::size_t length = compress(compressor, text.data(), text.size(), out.data(), out.size());
  libdeflate_free_compressor(compressor);
  out.resize(std::min(length, size));
  return out;
}

bool is_unpacked_size(std::size_t size) {
  for (const PictureFormat& f : picture_formats())
    if (f.packing == Packing::none && layout_file_size(f) == size) return true;
  return false;
}

// A file of exactly an unpacked format's size is that format, whatever it
// holds, as every reader takes it; of other sizes, only a file that is a
// picture is taken. Without a name, random bytes and compressed text of
// 7 to 10 KB (about one in five of which once read as packed Koala
// pictures) are none.
TEST(Recognition, FilesThatAreNoPicturesAreNotTaken) {
  std::mt19937 random(20);
  for (int round = 0; round < 400; ++round) {
    std::size_t size = 7000 + random() % 3001;
    if (is_unpacked_size(size)) ++size;
    Bytes file;
    if (round % 2 == 0) {
      file = compressed_text(random, size);
    } else {
      file.resize(size);
      for (std::uint8_t& byte : file) byte = static_cast<std::uint8_t>(random());
    }
    const ImportResult result = import_file(file, "notes");
    ASSERT_FALSE(result.imported) << "round " << round << ": " << result.description;
  }
}

struct Evidence {
  const char* what;
  Bytes file;
  const char* name;
  const char* format;  // --format, or nullptr
  std::string outcome;  // the description, or the error
};

std::ostream& operator<<(std::ostream& out, const Evidence& c) { return out << c.what; }

KoalaPicture at_address(KoalaPicture picture, std::uint16_t address) {
  picture[0] = static_cast<std::uint8_t>(address);
  picture[1] = static_cast<std::uint8_t>(address >> 8);
  return picture;
}

Bytes with_tail(Bytes file, std::size_t tail) {
  file.resize(file.size() + tail, 0x5A);
  return file;
}

Bytes bytes_of(const KoalaPicture& picture) { return Bytes(picture.begin(), picture.end()); }

const KoalaPicture kPicture = at_address(testing::pattern_picture(2), 0x6000);

class Evidences : public ::testing::TestWithParam<Evidence> {};

TEST_P(Evidences, DecideInTheirOrder) {
  const Evidence& c = GetParam();
  const ImportResult result =
      import_file(c.file, c.name, -1, c.format != nullptr ? c.format : "");
  EXPECT_EQ(c.outcome, result.imported ? result.description : result.error);
}

const std::size_t kGgSize = written("gg", kPicture).size();
const std::size_t kGgAt4400Size = written("gg", at_address(kPicture, 0x4400)).size();
const std::size_t kGgAtFF00Size = written("gg", at_address(kPicture, 0xFF00)).size();

INSTANTIATE_TEST_SUITE_P(
    Files, Evidences,
    ::testing::Values(
        Evidence{".gg: the packed form at any load address, with a sector's slack",
                 with_tail(written("gg", at_address(kPicture, 0x4400)), 253), "p.gg", nullptr,
                 "Packed Koala picture of " + std::to_string(kGgAt4400Size + 253) +
                     " bytes, load address $4400"},
        Evidence{".gg: the name vouches for no more slack than the content",
                 with_tail(written("gg", at_address(kPicture, 0x4400)), 400), "p.gg", nullptr,
                 "ERROR: File 'p.gg' is not in the format gg (Packed Koala)."},
        Evidence{".gg: a picture keeps its load address, even where it would not fit",
                 written("gg", at_address(kPicture, 0xFF00)), "p.gg", nullptr,
                 "Packed Koala picture of " + std::to_string(kGgAtFF00Size) +
                     " bytes, load address $ff00"},
        Evidence{"no name: not at the packed form's load address",
                 written("gg", at_address(kPicture, 0x4400)), "p", nullptr,
                 "ERROR: File 'p' is neither a PNG image nor a Koala picture."},
        Evidence{"no name: more than a sector's slack", with_tail(written("gg", kPicture), 254),
                 "p", nullptr, "ERROR: File 'p' is neither a PNG image nor a Koala picture."},
        Evidence{"no name: a sector's slack", with_tail(written("gg", kPicture), 253), "p",
                 nullptr,
                 "Packed Koala picture of " + std::to_string(kGgSize + 253) +
                     " bytes, load address $6000"},
        Evidence{"the user's format decides", bytes_of(kPicture), "p.kla", "interpaint",
                 "Interpaint multicolour picture, load address $6000"},
        Evidence{"a file that is not in the user's format", bytes_of(kPicture), "p.kla",
                 "artstudio", "ERROR: File 'p.kla' is not in the format artstudio (Advanced Art "
                 "Studio)."},
        Evidence{"an extension decides what is tried", bytes_of(kPicture), "p.PI", nullptr,
                 "ERROR: File 'p.PI' is not in the format blazingpaddles (Blazing Paddles)."},
        Evidence{"the user's extension decides what is tried", bytes_of(kPicture), "p.kla",
                 "drp", "ERROR: File 'p.kla' is in none of the formats drazpaint, "
                 "drazpaint-packed."},
        Evidence{"a load address its writers use", bytes_of(at_address(kPicture, 0x4000)), "p",
                 nullptr, "Interpaint multicolour picture, load address $4000"},
        Evidence{"10242 bytes at a load address of one of its four formats",
                 written("artist64", kPicture), "p", nullptr,
                 "Wigmore Artist 64 picture, load address $4000"},
        Evidence{"10242 bytes at a load address of none of them",
                 [] {
                   Bytes file = written("artist64", kPicture);
                   file[1] = 0x12;
                   return file;
                 }(),
                 "p", nullptr,
                 "ERROR: File 'p' could be a picture of several formats (blazingpaddles, "
                 "artist64, dolphined, rainbow); name one with --format=NAME."},
        Evidence{"a header beats an exact size",
                 [] {
                   // Packed Drazpaint, grown to the unpacked form's 10051 bytes
                   // within a sector's slack.
                   KoalaPicture runny = kPicture;
                   Bytes file;
                   for (std::size_t zeros = 0; file.empty() || file.size() > 10051; zeros += 16) {
                     std::fill_n(runny.begin() + kBitmapOffset, zeros, 0);
                     file = written("drazpaint-packed", runny);
                   }
                   file.resize(10051, 0);
                   return file;
                 }(),
                 "p.drz", nullptr,
                 "Packed Drazpaint picture of 10051 bytes, load address $5800"}));

}  // namespace
}  // namespace bitmosaic
