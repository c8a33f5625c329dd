// The commands that the first word may name, one row each. A row says
// everything the parser and the run driver need to know about its command,
// so adding a command is adding a row and the function it names.
#pragma once

#include <cstdint>
#include <span>

#include "cli/command_settings.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

struct FileReading;

// What numbers follow a command word.
enum class Grammar {
  none,
  rectangle,          // x1 [y1 [x2 [y2]]]
  line_range,         // from [to [step]]
  optional_cell,      // [col row]
  one_row,            // first row where the second picture is used
  one_column,         // first column where the second picture is used
  two_offsets,        // horizontal and vertical move
  vertical_offset,
  horizontal_offset,
};

// What the source must be.
enum class Source {
  koala_picture,  // exactly 10003 bytes
  any_file,       // whatever a readable regular file holds; the command decides
  any_picture,    // a picture of any form import takes, read through its door
  read_by_command,  // a readable regular file that the command reads as it needs
};

// What the working picture holds before the command applies.
enum class Start {
  copy_of_source,
  all_zeros,  // load address and background included
  built,      // the command's function makes all of it from the source file
  nothing,    // the command only reads the source
};

// What the run writes once the command has applied.
enum class Output {
  koala_picture,  // the working picture, 10003 bytes
  png_image,      // the working picture as a PNG image
  format_file,    // the picture in the format --format= or the destination's name names
  by_name,        // a Koala picture, or the form the destination's name or --format= names
  nothing,        // the command only prints
};

// The pictures of one run, as a command's function sees them.
struct RunPictures {
  const KoalaPicture& source;  // loaded for rows whose source is a Koala picture
  std::int64_t source_size;    // the size of the source file
  const KoalaPicture& second;  // loaded only for rows that read a second picture
  KoalaPicture& working;       // what the run saves
  std::span<const std::uint8_t> source_file;  // the bytes, for rows that take any file
  FileReading* source_reading = nullptr;  // the open source, for rows that read it themselves
};

using CommandFunction = void (*)(const CommandSettings& settings, RunPictures& pictures);

// The step a row takes once its pictures are loaded: the progress line it
// prints, then its effect or report. The run driver holds the function of
// each (app/command_steps.h), so the table names them without knowing the
// app.
enum class Step {
  none,  // the start and the output are the whole command
  mask,
  del,
  crop,
  delv,
  filter,
  replace,
  insert,
  info,
  show,
  merge,
  move,
  colcopy,
  convert,
  import,
};

struct Command {
  const char* keyword;
  bool CommandSettings::*flag;
  bool CommandSettings::*extra_flag;  // merge+ and imask set a second flag
  Grammar grammar;
  bool second_picture;
  bool destination_argument;  // a file argument after the pictures names the destination
  Start start;
  Output output;
  const char* default_suffix;  // replaces the source's extension when no destination is named
  Step step;
  Source source = Source::koala_picture;
  // The default destination's suffix when default_suffix would name the
  // source itself; nullptr where it cannot.
  const char* fallback_suffix = nullptr;
  // A destination ending in this (in any case) is refused before anything
  // is read, with the message (one %s: the destination).
  const char* refused_suffix = nullptr;
  const char* refused_message = nullptr;
  // The "--name=VALUE" options it takes (cli/options.h), beside -r.
  unsigned options = 0;
  // A source that cannot be read is named for what it is (a folder, a FIFO,
  // a file the system will not open) instead of "not found", and any source
  // is held to the size cap before a byte is read.
  bool tells_read_problems = false;
};

// Every row, in the order the first word is compared with them.
std::span<const Command> command_table();

}  // namespace bitmosaic
