#include "app/run.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/command_steps.h"
#include "app/open_result.h"
#include "app/picture_doors.h"
#include "app/sources.h"
#include "app/process.h"
#include "app/progress.h"
#include "cli/command_settings.h"
#include "cli/command_table.h"
#include "cli/fatal.h"
#include "cli/help_texts.h"
#include "cli/parse_arguments.h"
#include "base/words.h"
#include "formats/format_files.h"
#include "formats/picture_formats.h"
#include "picture/koala_picture.h"
#include "picture/picture_file.h"
#include "image/c64_palette.h"
#include "preview/png_export.h"
#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

// A file name as an error message may show it.
std::string in_message(const std::string& name) { return printable_name(name, stderr); }

// Loads a Koala picture or ends the run; returns the file's size.
std::int64_t load_picture(const std::string& path, KoalaPicture& picture) {
  if (!path_exists(path))
    die_with_usage("ERROR: File '%s' not found.", in_message(path).c_str());
  std::int64_t size = 0;
  switch (load_file_bytes(path, picture, &size)) {
    case LoadResult::loaded:
      return size;
    case LoadResult::wrong_size:
      die_with_usage("ERROR: Wrong filesize for '%s' (%lld).", in_message(path).c_str(),
                     static_cast<long long>(size));
    case LoadResult::unreadable:
      break;
  }
  die_with_usage("ERROR: File '%s' not found.", in_message(path).c_str());
}

// A destination the command must not write, refused before anything is read.
void refuse_destination(const Command& command, const std::string& destination) {
  if (command.refused_suffix != nullptr &&
      ends_with_ignoring_case(destination, command.refused_suffix))
    die_with_usage(command.refused_message, in_message(destination).c_str());
}

// A default suffix that names the tool's own output (".out.kla"): such a
// file is replaced when it exists. Any other default names a file of its
// own kind beside the source (pic.png beside pic.kla), which may be the
// user's own work.
bool names_own_output(const char* suffix) { return std::string_view(suffix).starts_with(".out."); }

struct DefaultName {
  std::string name;
  bool may_replace;  // a file under that name may be replaced
};

// The default destination: the source's name with the row's suffix, or its
// fallback where that would be the source itself.
DefaultName default_name(const std::string& source, const Command& command) {
  std::optional<std::string> named = default_destination(source, command.default_suffix);
  if (!named)
    die_with_usage("ERROR: Source file '%s' has no file extension.", in_message(source).c_str());
  if (command.fallback_suffix != nullptr && equal_ignoring_case(*named, source))
    return {*default_destination(source, command.fallback_suffix),
            names_own_output(command.fallback_suffix)};
  return {*named, names_own_output(command.default_suffix)};
}

// The source's name with the format's first extension.
std::string format_file_name(const std::string& source, const PictureFormat& format) {
  const std::optional<std::string> named =
      default_destination(source, new_file_suffix(format).c_str());
  if (!named)
    die_with_usage("ERROR: Source file '%s' has no file extension.", in_message(source).c_str());
  return *named;
}

// The named destination, or the default one (announced) for a command that
// writes; empty for one that writes nothing. A result that goes to standard
// output sends the progress lines to standard error. A default destination
// that would replace a file of the user's stops the run.
std::string name_destination(const CommandSettings& settings, const Command& command) {
  if (command.output == Output::nothing) return {};
  std::string destination;
  const PictureFormat* format = settings.format;
  if (settings.dest_path) {
    destination = *settings.dest_path;
  } else {
    const DefaultName chosen = format != nullptr
                                   ? DefaultName{format_file_name(*settings.source_path, *format),
                                                 false}
                                   : default_name(*settings.source_path, command);
    print_progress("Destination file set to '%s'.\n",
                   printable_name(chosen.name, progress_stream()).c_str());
    if (!chosen.may_replace && name_taken(chosen.name))
      die_with_usage("ERROR: File '%s' exists; name it as the destination to replace it.",
                     in_message(chosen.name).c_str());
    destination = chosen.name;
  }
  refuse_destination(command, destination);
  if (is_standard_output(destination)) set_progress_stream(stderr);
  return destination;
}

void start_working(Start start, const KoalaPicture& source, KoalaPicture& working) {
  switch (start) {
    case Start::copy_of_source:
      working = source;
      return;
    case Start::all_zeros:
      working.fill(0);
      return;
    case Start::built:
    case Start::nothing:
      return;
  }
}

SaveResult write_output(Output output, const KoalaPicture& working,
                        const FormatFile& format_file, const std::string& destination,
                        const C64Colours& palette) {
  switch (output) {
    case Output::koala_picture:
    case Output::by_name:  // decided before: never here
      return save_file_bytes(working, destination);
    case Output::format_file:
      return save_file_bytes(format_file.bytes(), destination);
    case Output::png_image: {
      const std::optional<std::vector<std::uint8_t>> image = encode_png(working, palette);
      if (!image) return {false, std::strerror(ENOMEM)};  // the compressor fails only for memory
      return save_file_bytes(*image, destination);
    }
    case Output::nothing:
      break;
  }
  return {true, {}};
}

void save_result(Output output, const KoalaPicture& working, const FormatFile& format_file,
                 const std::string& destination, const C64Colours& palette) {
  print_progress("Saving...\n");
  const SaveResult saved = write_output(output, working, format_file, destination, palette);
  if (!saved.written)
    die_with_usage("ERROR: File '%s' could not be written (%s).",
                   in_message(destination).c_str(), saved.reason.c_str());
  print_progress("Done.\n");
}

}  // namespace

std::optional<std::string> default_destination(const std::string& source_path,
                                               const char* suffix) {
  const std::size_t name_start = file_name_start(source_path);
  const std::size_t dot = source_path.find_last_of('.');
  if (dot == std::string::npos || dot < name_start) return std::nullopt;
  return source_path.substr(0, dot) + suffix;
}

int run_bitmosaic(int argc, char** argv) {
  note_standard_output_closed(prepare_standard_streams());
  // Into a file or a pipe, what a run prints goes out in one write at its
  // end, so that a failing write's reason is the one the run reports (a
  // write that fails halfway through the buffer leaves stdio nothing to say
  // but a generic error). A terminal keeps its lines as they come.
  // Set once, before the first output: a process that runs several times
  // (the tests do) keeps it.
  static char output_buffer[64 * 1024];
  static const bool buffered =
      !is_terminal(stdout) &&
      std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer) == 0;
  static_cast<void>(buffered);
  if (argc < 2) {
    print_title(argc > 0 ? argv[0] : "bitmosaic");
    return 0;
  }
  set_progress_stream(stdout);
  CommandSettings settings;
  parse_arguments(argc, argv, settings);
  const Command& command = *settings.command;  // the parser accepted one word or ended
  if (!settings.source_path) die_with_usage("ERROR: File '<src>' not found.");
  // What a row writes is known, or refused, before anything is read.
  const WrittenForm form = written_form(settings, command);
  settings.format = form.format;
  const std::string destination = name_destination(settings, command);
  if (command.tells_read_problems && !destination.empty() &&
      is_same_file(*settings.source_path, destination))
    die_with_usage("ERROR: Destination '%s' is the source; name another file.",
                   in_message(destination).c_str());

  ReleaseTune release;
  read_release_extras(settings, form, release);

  // Left uninitialised: a run reads only the pictures it loads or starts.
  KoalaPicture source;
  KoalaPicture second;
  KoalaPicture working;
  SourceBytes source_file;
  FormatFile format_file;  // its block left uninitialised too
  std::int64_t source_size = 0;
  OpenedFile reading;
  switch (command.source) {
    case Source::koala_picture:
      source_size = load_picture(*settings.source_path, source);
      break;
    case Source::any_picture:
      source_size = load_any_picture(settings, form.output != Output::nothing, source);
      break;
    case Source::any_file:
      source_size = load_source_file(*settings.source_path, source_file);
      break;
    case Source::read_by_command:
      reading = open_source(*settings.source_path);
      source_size = reading.size;
      break;
  }
  if (command.second_picture) {
    if (!settings.second_path) die_with_usage("ERROR: File '<pic2>' not found.");
    load_picture(*settings.second_path, second);
  }
  start_working(command.start, source, working);
  if (const CommandFunction apply = step_function(command.step); apply != nullptr) {
    RunPictures pictures{source,  source_size,          second,
                         working, source_file.bytes(), reading.file.get()};
    apply(settings, pictures);
  }
  if (form.output == Output::nothing) return 0;

  // A row that starts from nothing writes its source as it is.
  const KoalaPicture& result = command.start == Start::nothing ? source : working;
  if (form.output == Output::format_file)
    make_format_file(*form.format, result, settings, release.extras, format_file);
  // png draws with the palette it is given; import and convert name theirs
  // to match colours, and their PNG image is drawn as png draws by default.
  const C64Colours& palette =
      command.output == Output::png_image ? palette_colours(settings.palette) : default_palette();
  save_result(form.output, result, format_file, destination, palette);
  if (settings.launch_viewer && !open_with_viewer(destination))
    std::fprintf(stderr, "WARNING: Could not open '%s'.\n", in_message(destination).c_str());
  return 0;
}

}  // namespace bitmosaic
