// The one door in and the one door out of our own commands. In: png, show
// and export read their source as import reads any file (a Koala picture,
// a picture of any paint format, a PNG image drawn under the C64's rules,
// a program export wrote). Out: import, convert and export write the form
// the destination's name or --format= names (a Koala picture, a PNG image,
// a file of any format the table writes, the program that shows it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/sources.h"
#include "cli/command_settings.h"
#include "cli/command_table.h"
#include "formats/format_files.h"
#include "formats/psid.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// What a run writes.
struct WrittenForm {
  Output output = Output::nothing;        // never Output::by_name
  const PictureFormat* format = nullptr;  // the format of Output::format_file
};

// The form a row that writes by name writes, decided from --format= and the
// destination's name before anything is read; ends the run where the two
// disagree, where the name names no format export could write, or where the
// format is one bitmosaic only reads. Other rows write what the row says.
WrittenForm written_form(const CommandSettings& settings, const Command& command);

// Reads the source of png, show or export into `picture`, or ends the run
// with import's message. A file of a Koala picture's size is taken as one,
// as always, unless --from= names another format; any other file goes
// through import's door, whose description line png and export print
// (`describe`). Returns the file's size.
std::int64_t load_any_picture(const CommandSettings& settings, bool describe,
                              KoalaPicture& picture);

// Makes `file` of `format` from `picture` and prints what it holds, or ends
// the run when the format cannot hold the picture (or the program its
// extras).
void make_format_file(const PictureFormat& format, const KoalaPicture& picture,
                      const CommandSettings& settings, const ReleaseExtras& extras,
                      FormatFile& file);

// The tune of --sid=FILE, read and checked before the picture is; ends the
// run where --fade or --sid is given for a destination that is not the
// program, or where the tune cannot be played. Holds the file's bytes, which
// the tune points into.
struct ReleaseTune {
  SourceBytes file;
  SidTune tune;
  ReleaseExtras extras;
};
void read_release_extras(const CommandSettings& settings, const WrittenForm& form,
                         ReleaseTune& release);

}  // namespace bitmosaic
