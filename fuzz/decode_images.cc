// libFuzzer target: the image decoders and the picture readers on their own,
// without the command line around them, so that every input reaches them
// whole (the whole-run target spends most of its inputs on arguments).
//
// Each input is a file as it is. It goes to load_image_for_conversion, which
// tells PNG, JPEG and GIF by their signatures, twice: from memory, and from
// a reader that hands the bytes out a few at a time, as a file read in
// pieces would. Then to import_file, once telling the format by the
// evidence alone and once with a format of the table named. The scale mode,
// the matte, the piece size and the named format are taken from the input's
// size, so that the file's bytes stay the file's and seeds stay plain images.
//
// Besides the sanitizers, each call must keep its promises: a loaded image
// is the picture's 320x200 grid of finite samples, with a description and no
// error; an image that was not loaded, or a file that was not imported, has
// a message starting "ERROR: "; reading in pieces comes to the same result
// as reading from memory.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/picture_formats.h"
#include "image/image_geometry.h"
#include "image/load_image.h"
#include "import/import_file.h"
#include "image/c64_palette.h"

namespace {

[[noreturn]] void broken(const char* promise, const std::string& detail) {
  std::fprintf(stderr, "bitmosaic image fuzz: %s: '%s'\n", promise, detail.c_str());
  std::abort();
}

bool is_message(const std::string& error) { return error.rfind("ERROR: ", 0) == 0; }

void check_load(const bitmosaic::ImageLoad& load) {
  using bitmosaic::LinearImage;
  if (!load.loaded) {
    if (!is_message(load.error)) broken("an image not loaded without an error message", load.error);
    return;
  }
  if (!load.error.empty()) broken("a loaded image with an error message", load.error);
  if (load.kind == nullptr || load.description.empty())
    broken("a loaded image without its kind or description", load.description);
  if (load.width < 1 || load.height < 1) broken("a loaded image without a size", load.description);
  constexpr std::size_t kPixels = std::size_t{LinearImage::kWidth} * LinearImage::kHeight;
  if (load.image.rgb.size() != 3 * kPixels || load.image.outside.size() != kPixels)
    broken("a loaded image not of the picture's size", load.description);
  for (const float sample : load.image.rgb)
    if (!std::isfinite(sample)) broken("a loaded image with a sample that is not a number", "");
}

// Hands out the file's bytes `piece` at a time.
struct Pieces {
  std::span<const std::uint8_t> bytes;
  std::size_t offset = 0;
  std::size_t piece = 1;
};

std::size_t read_piece(void* context, std::uint8_t* buffer, std::size_t size) {
  auto& pieces = *static_cast<Pieces*>(context);
  const std::size_t count = std::min({size, pieces.piece, pieces.bytes.size() - pieces.offset});
  if (count > 0) std::memcpy(buffer, pieces.bytes.data() + pieces.offset, count);
  pieces.offset += count;
  return count;
}

// A message with its numbers left out: libjpeg counts the bytes it skips
// before a marker from where its entropy decoder stopped reading ahead,
// which depends on how many bytes each piece brought.
std::string without_numbers(std::string text) {
  std::erase_if(text, [](char c) { return c >= '0' && c <= '9'; });
  return text;
}

void check_same(const bitmosaic::ImageLoad& whole, const bitmosaic::ImageLoad& pieces) {
  if (whole.loaded != pieces.loaded) broken("read in pieces, loaded otherwise", pieces.error);
  if (without_numbers(whole.error) != without_numbers(pieces.error))
    broken("read in pieces, another error", pieces.error);
  if (whole.width != pieces.width || whole.height != pieces.height)
    broken("read in pieces, another size", pieces.description);
  if (whole.description != pieces.description)
    broken("read in pieces, another description", pieces.description);
  if (whole.image.rgb != pieces.image.rgb || whole.image.outside != pieces.image.outside)
    broken("read in pieces, other pixels", pieces.description);
}

void check_import(const bitmosaic::ImportResult& result, std::string_view format) {
  if (result.imported) {
    if (!result.error.empty()) broken("an imported file with an error message", result.error);
    if (result.description.empty())
      broken("an imported file without a description", std::string(format));
    return;
  }
  if (!is_message(result.error))
    broken("a file not imported without an error message", result.error);
}

// The formats of the table that can be read: all but the displayer program.
std::vector<std::string_view> read_formats() {
  std::vector<std::string_view> names;
  for (const bitmosaic::PictureFormat& format : bitmosaic::picture_formats())
    if (format.packing != bitmosaic::Packing::displayer) names.push_back(format.name);
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string_view> formats = read_formats();
  const std::span<const std::uint8_t> file(data, size);
  const auto modes = bitmosaic::scale_modes();
  const bitmosaic::ScaleMode mode = modes[size % modes.size()].mode;
  const bitmosaic::Rgb matte =
      (size / modes.size()) % 2 == 0 ? bitmosaic::Rgb{0, 0, 0} : bitmosaic::Rgb{112, 164, 178};

  const bitmosaic::ImageLoad whole =
      bitmosaic::load_image_for_conversion(file, "fuzz.img", mode, matte);
  check_load(whole);
  Pieces pieces{file, 0, 1 + size % 61};
  const bitmosaic::ImageLoad read = bitmosaic::load_image_for_conversion(
      bitmosaic::ImageReader{&pieces, read_piece}, "fuzz.img", mode, matte);
  check_load(read);
  check_same(whole, read);

  check_import(bitmosaic::import_file(file, "fuzz"), "");
  const std::string_view format = formats[size % formats.size()];
  check_import(bitmosaic::import_file(file, "fuzz", -1, format), format);
  return 0;
}
