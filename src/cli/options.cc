#include "cli/options.h"

#include <span>
#include <string>

#include "cli/fatal.h"
#include "cli/numbers.h"
#include "convert/convert_picture.h"
#include "image/image_geometry.h"
#include "base/words.h"
#include "formats/picture_formats.h"
#include "image/c64_palette.h"
#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

// The index of the row of `rows` whose name is `name` in any case, or the
// end of the run with `unknown` (two %s: the name, then every known one).
template <typename Row>
std::size_t named_row(std::span<const Row> rows, const char* name, const char* unknown) {
  std::string known;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (equal_ignoring_case(name, rows[i].name)) return i;
    known += (i == 0 ? "" : ", ") + std::string(rows[i].name);
  }
  die_with_usage(unknown, printable_name(name, stderr).c_str(), known.c_str());
}

void read_palette(const char* name, CommandSettings& settings) {
  settings.palette = static_cast<int>(
      named_row(c64_palettes(), name, "ERROR: Unknown palette '%s'; known palettes: %s."));
  settings.palette_named = true;
}

void read_dither(const char* name, CommandSettings& settings) {
  settings.dither = dither_modes()[named_row(
      dither_modes(), name, "ERROR: Unknown dither mode '%s'; known modes: %s.")].dither;
}

void read_scale(const char* name, CommandSettings& settings) {
  settings.scale = scale_modes()[named_row(scale_modes(), name,
                                           "ERROR: Unknown scale '%s'; known scales: %s.")].mode;
}

// A colour number, read as the numbers after a command are.
void read_background(const char* number, CommandSettings& settings) {
  settings.background = parse_bounded_number(number, 0, 15);
}

// A format's name, or an extension that names formats of the table, as
// `use` lists them; the command checks what it can do with it.
void read_format_word(const char* name, FormatUse use, std::string& word) {
  if (*name != '\0' && format_named(name) != nullptr) {
    word = name;
    return;
  }
  die_with_usage("ERROR: Unknown format '%s'; formats: %s.", printable_name(name, stderr).c_str(),
                 format_names(use).c_str());
}

// What is written; import's --format= names what it reads, as --from= does
// elsewhere.
void read_format(const char* name, CommandSettings& settings) {
  if (settings.import)
    read_format_word(name, FormatUse::read, settings.from_word);
  else
    read_format_word(name, FormatUse::written, settings.format_word);
}

void read_from(const char* name, CommandSettings& settings) {
  read_format_word(name, FormatUse::read, settings.from_word);
}

void read_border(const char* value, CommandSettings& settings) {
  settings.border = parse_bounded_number(value, 0, 15);
}

constexpr OptionRow kOptions[] = {
    {"--palette=", kPaletteOption, read_palette},
    {"--dither=", kDitherOption, read_dither},
    {"--background=", kBackgroundOption, read_background},
    {"--scale=", kScaleOption, read_scale},
    {"--format=", kFormatOption, read_format},
    {"--border=", kBorderOption, read_border},
    {"--from=", kFromOption, read_from},
    {"--fade", kFadeOption, [](const char*, CommandSettings& settings) { settings.fade = true; }},
    {"--sid=", kSidOption,
     [](const char* path, CommandSettings& settings) { settings.sid_path = path; }},
};

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::span<const OptionRow> option_table() { return kOptions; }

bool looks_like_option(std::string_view word) {
  return word.starts_with("--") || (word.size() >= 2 && word[0] == '-' && is_ascii_letter(word[1]));
}

}  // namespace bitmosaic
