#include "cli/options.h"

#include <span>
#include <string>

#include "cli/fatal.h"
#include "cli/words.h"
#include "preview/c64_palette.h"
#include "report/terminal_charset.h"

namespace bitmosaic {
namespace {

// The palette's index, or the end of the run for a name that is none.
void read_palette(const char* name, CommandSettings& settings) {
  const std::span<const Palette> palettes = c64_palettes();
  std::string known;
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    if (equal_ignoring_case(name, palettes[i].name)) {
      settings.palette = static_cast<int>(i);
      settings.palette_named = true;
      return;
    }
    known += (i == 0 ? "" : ", ") + std::string(palettes[i].name);
  }
  die_with_usage("ERROR: Unknown palette '%s'; known palettes: %s.",
                 printable_name(name, stderr).c_str(), known.c_str());
}

constexpr OptionRow kOptions[] = {
    {"--palette=", kPaletteOption, read_palette},
};

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::span<const OptionRow> option_table() { return kOptions; }

bool looks_like_option(std::string_view word) {
  return word.starts_with("--") || (word.size() >= 2 && word[0] == '-' && is_ascii_letter(word[1]));
}

}  // namespace bitmosaic
