#include "import/import_file.h"


#include "import/image_to_koala.h"
#include "import/koala_forms.h"
#include "import/message.h"
#include "import/png_reader.h"
#include "report/info_report.h"

namespace bitmosaic {
namespace {

ImportResult import_png(std::span<const std::uint8_t> file, const std::string& name,
                        int palette) {
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
  result.picture = conversion.picture;
  const std::string distance =
      conversion.farthest > 0 ? formatted(" (colours up to %i away)", conversion.farthest) : "";
  result.description = formatted("Image %ix%i, palette %s%s, background %i [%s]",
                                 read.image.width, read.image.height, conversion.palette,
                                 distance.c_str(), conversion.background,
                                 colour_name(conversion.background));
  return result;
}

std::string describe(const FoundKoala& found, std::size_t size) {
  const unsigned address = load_address(found.picture);
  switch (found.form) {
    case KoalaForm::whole:
      return formatted("Koala picture, load address $%04x", address);
    case KoalaForm::without_address:
      return formatted("Koala picture without load address, $%04x put in front", address);
    case KoalaForm::padded:
      return formatted("Koala picture with %zu bytes of padding, dropped", size - kKoalaFileSize);
    case KoalaForm::packed:
      break;
  }
  const char* zero = found.zero_count == ZeroCount::as_256     ? ", a run count of 0 read as 256"
                     : found.zero_count == ZeroCount::as_empty ? ", a run count of 0 read as empty"
                                                               : "";
  return formatted("Packed Koala picture of %zu bytes, load address $%04x%s", size, address, zero);
}

}  // namespace

ImportResult import_file(std::span<const std::uint8_t> file, const std::string& name,
                         int palette) {
  if (has_png_signature(file)) return import_png(file, name, palette);
  ImportResult result;
  const std::optional<FoundKoala> found = find_koala(file);
  if (!found) {
    result.error =
        formatted("ERROR: File '%s' is neither a PNG image nor a Koala picture.", name.c_str());
    return result;
  }
  result.imported = true;
  result.picture = found->picture;
  result.description = describe(*found, file.size());
  return result;
}

}  // namespace bitmosaic
