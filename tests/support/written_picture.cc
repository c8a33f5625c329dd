#include "support/written_picture.h"

#include <span>
#include <string_view>

#include "formats/displayer_reader.h"
#include "formats/picture_formats.h"
#include "import/import_file.h"

namespace bitmosaic::testing {

namespace {

// The last --format= that names a format, as the parser reads them; empty
// when there is none, or where it names what import reads.
std::string format_word_of(const std::vector<std::string>& arguments) {
  std::string format_word;
  if (!arguments.empty() && arguments[0] == "import") return format_word;
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (std::string_view(argument).starts_with("--format=") &&
        format_named(argument.substr(9)) != nullptr)
      format_word = argument.substr(9);
  }
  return format_word;
}

}  // namespace

bool is_displayer_program(const std::string& content, const std::string& name,
                          const std::vector<std::string>& arguments) {
  const std::string word = format_word_of(arguments);
  const PictureFormat* format = format_named(word.empty() ? file_extension(name) : word);
  return format != nullptr && format->packing == Packing::displayer &&
         displayer_picture(content).has_value();
}

std::optional<KoalaPicture> displayer_picture(const std::string& content) {
  KoalaPicture picture;
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
  if (!read_displayer_program(bytes, picture)) return std::nullopt;
  return picture;
}

std::optional<KoalaPicture> exported_picture(const std::string& content, const std::string& name,
                                             const std::vector<std::string>& arguments) {
  const std::string format_word = format_word_of(arguments);
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
  const ImportResult read = import_file(bytes, name, -1, format_word);
  if (!read.imported) return std::nullopt;
  return read.picture;
}

bool shows_the_same(const KoalaPicture& a, const KoalaPicture& b) {
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column)
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::size_t at = cell_byte_offset(column, row, line);
        if (a[at] != b[at]) return false;
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) {
          const int value = pixel_value(a[at], pixel);
          if (pixel_colour(a, column, row, value) != pixel_colour(b, column, row, value))
            return false;
        }
      }
  return true;
}

bool shows_the_same_pixels(const KoalaPicture& a, const KoalaPicture& b) {
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column)
      for (int line = 0; line < kLinesPerCell; ++line) {
        const std::size_t at = cell_byte_offset(column, row, line);
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel)
          if (pixel_colour(a, column, row, pixel_value(a[at], pixel)) !=
              pixel_colour(b, column, row, pixel_value(b[at], pixel)))
            return false;
      }
  return true;
}

}  // namespace bitmosaic::testing
