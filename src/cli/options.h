// The options that follow a command's numbers among its file names: "-r"
// for every command, and "--name=VALUE" options that only the commands
// naming them in their row take. Adding an option is a row here, its bit,
// a field in the settings record and the function that reads its value.
#pragma once

#include <span>
#include <string_view>

#include "cli/command_settings.h"

namespace bitmosaic {

// One bit per "--name=VALUE" option, for Command::options.
enum OptionBit : unsigned {
  kPaletteOption = 1u << 0,     // --palette=NAME: the palette the colours are read or drawn with
  kDitherOption = 1u << 1,      // --dither=MODE: how convert mixes colours
  kBackgroundOption = 1u << 2,  // --background=N: the background convert must use
  kScaleOption = 1u << 3,       // --scale=MODE: how convert fits an image of another shape
  kFormatOption = 1u << 4,      // --format=NAME: the format written (import: read)
  kBorderOption = 1u << 5,      // --border=N: the border colour a format's border byte gets
  kFromOption = 1u << 6,        // --from=NAME: the format the source is read as
  kFadeOption = 1u << 7,        // --fade: the program fades the picture in and out
  kSidOption = 1u << 8,         // --sid=FILE: the program plays the tune
};

// What --fade and --sid=FILE add to the commands that may write a program.
inline constexpr unsigned kReleaseOptions = kFadeOption | kSidOption;

struct OptionRow {
  // The word up to and including '='; a word without '=' is the whole
  // option, a switch that takes no value.
  const char* name;
  OptionBit bit;
  // Stores the value in the settings, or ends the run with the reason when
  // the value is not one the option takes.
  void (*read)(const char* value, CommandSettings& settings);
};

std::span<const OptionRow> option_table();

// True when a word in a file position is meant as an option: it starts with
// "--", or with '-' and a letter. "-3" is a number, "-" and "-.kla" names.
bool looks_like_option(std::string_view word);

}  // namespace bitmosaic
