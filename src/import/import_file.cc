#include "import/import_file.h"

#include "formats/displayer_reader.h"
#include "import/find_picture.h"
#include "import/image_to_koala.h"
#include "base/message.h"
#include "image/png_reader.h"
#include "base/colour_names.h"

namespace bitmosaic {
namespace {

ImportResult import_png(std::span<const std::uint8_t> file, const std::string& name,
                        int palette, KoalaPicture* into) {
  ImportResult result;
  const PngRead read = read_png(file, is_importable_size);
  if (!read.problem.empty()) {
    result.error =
        formatted("ERROR: Image '%s' is damaged (%s).", name.c_str(), read.problem.c_str());
    return result;
  }
  // A size that is not taken is refused before any pixel is decoded.
  const Conversion conversion = image_to_koala(read.image, name, palette);
  if (!conversion.converted) {
    result.error = conversion.error;
    return result;
  }
  result.imported = true;
  (into != nullptr ? *into : result.picture) = conversion.picture;
  const std::string distance =
      conversion.farthest > 0 ? formatted(" (colours up to %i away)", conversion.farthest) : "";
  result.description = formatted("Image %ix%i, palette %s%s, background %i [%s]",
                                 read.image.width, read.image.height, conversion.palette,
                                 distance.c_str(), conversion.background,
                                 colour_name(conversion.background));
  return result;
}

std::string describe(const PictureFormat& format, const ReadFormat& read, std::size_t size) {
  if (format.packing != Packing::none) {
    const char* zero = "";
    if (read.zero == ReadFormat::Zero::as_256) zero = ", a run count of 0 read as 256";
    if (read.zero == ReadFormat::Zero::as_empty) zero = ", a run count of 0 read as empty";
    return formatted("%s picture of %zu bytes, load address $%04x%s", format.title, size,
                     read.file_address, zero);
  }
  if (format.address_source == AddressSource::none)
    return formatted("%s picture without load address, $%04x put in front", format.title,
                     kDefaultLoadAddress);
  if (format.padding != 0)
    return formatted("%s picture with %zu bytes of padding, dropped", format.title,
                     format.padding);
  return formatted("%s picture, load address $%04x", format.title, read.file_address);
}

std::string program_refusal(const std::string& name) {
  return formatted("ERROR: File '%s' is a program, not a picture file.", name.c_str());
}

// The names of `formats`, separated by ", ".
std::string names_of(const std::vector<const PictureFormat*>& formats) {
  std::string names;
  for (const PictureFormat* format : formats)
    names += (names.empty() ? "" : ", ") + std::string(format->name);
  return names;
}

std::string not_found(const FoundPicture& found, const std::string& name) {
  if (!found.candidates.empty())
    return formatted("ERROR: File '%s' could be a picture of several formats (%s); name one with "
                     "--format=NAME.",
                     name.c_str(), names_of(found.candidates).c_str());
  if (found.all_tried)
    return formatted("ERROR: File '%s' is neither a PNG image nor a Koala picture.", name.c_str());
  if (found.tried.size() == 1)
    return formatted("ERROR: File '%s' is not in the format %s (%s).", name.c_str(),
                     found.tried[0]->name, found.tried[0]->title);
  return formatted("ERROR: File '%s' is in none of the formats %s.", name.c_str(),
                   names_of(found.tried).c_str());
}

// A picture of the table's formats. One result object throughout, so that
// it is built where the caller keeps it.
ImportResult import_picture(std::span<const std::uint8_t> file, const std::string& name,
                            std::string_view format_word, KoalaPicture* into) {
  ImportResult result;
  const FoundPicture found =
      find_picture(file, name, format_word, into != nullptr ? *into : result.picture);
  if (found.format == nullptr) {
    result.error = not_found(found, name);
    return result;
  }
  result.imported = true;
  result.description = describe(*found.format, found.read, file.size());
  return result;
}

}  // namespace

ImportResult import_file(std::span<const std::uint8_t> file, const std::string& name,
                         int palette, std::string_view format_word, KoalaPicture* into) {
  // The programs export writes come back by content, or by a name that
  // names the program; never by running them.
  const PictureFormat* named = format_named(format_word.empty() ? file_extension(name)
                                                                : format_word);
  const bool named_program = named != nullptr && named->packing == Packing::displayer;
  if (format_word.empty() || named_program) {
    ImportResult result;
    if (const std::optional<DisplayerRead> read =
            read_displayer_program(file, into != nullptr ? *into : result.picture)) {
      result.imported = true;
      result.description = std::string("Program written by bitmosaic (picture") +
                           (read->fade ? ", fade" : "") + (read->tune ? ", tune" : "") + ")";
      return result;
    }
    if (named_program) {
      result.error = program_refusal(name);
      return result;
    }
  }
  if (format_word.empty() && has_png_signature(file))
    return import_png(file, name, palette, into);
  ImportResult result = import_picture(file, name, format_word, into);
  // A program of BASIC's that is no picture of any format says so.
  if (!result.imported && format_word.empty() && file.size() >= 2 && file[0] == 0x01 &&
      file[1] == 0x08)
    result.error = program_refusal(name);
  return result;
}

}  // namespace bitmosaic
