#include "app/run.h"

#include <cstdint>
#include <cstdio>

#include "app/open_result.h"
#include "cli/command_settings.h"
#include "cli/command_table.h"
#include "cli/fatal.h"
#include "cli/help_texts.h"
#include "cli/parse_arguments.h"
#include "picture/koala_picture.h"
#include "picture/picture_file.h"
#include "preview/png_export.h"

namespace bitmosaic {
namespace {

// Loads a Koala picture or ends the run; returns the file's size.
std::int64_t load_picture(const std::string& path, KoalaPicture& picture) {
  if (!path_exists(path)) die_with_usage("ERROR: File '%s' not found.", path.c_str());
  std::int64_t size = 0;
  switch (load_file_bytes(path, picture, &size)) {
    case LoadResult::loaded:
      return size;
    case LoadResult::wrong_size:
      die_with_usage("ERROR: Wrong filesize for '%s' (%lld).", path.c_str(),
                     static_cast<long long>(size));
    case LoadResult::unreadable:
      break;
  }
  die_with_usage("ERROR: File '%s' not found.", path.c_str());
}

// The named destination, or the source's name with the row's suffix for a
// command that writes; empty for one that writes nothing.
std::string name_destination(const CommandSettings& settings, const Command& command) {
  if (settings.dest_path) return *settings.dest_path;
  if (command.output == Output::nothing) return {};
  const std::optional<std::string> named =
      default_destination(*settings.source_path, command.default_suffix);
  if (!named)
    die_with_usage("ERROR: Source file '%s' has no file extension.",
                   settings.source_path->c_str());
  std::printf("Destination file set to '%s'.\n", named->c_str());
  return *named;
}

void start_working(Start start, const KoalaPicture& source, KoalaPicture& working) {
  switch (start) {
    case Start::copy_of_source:
      working = source;
      return;
    case Start::all_zeros:
      working.fill(0);
      return;
    case Start::nothing:
      return;
  }
}

bool write_output(Output output, const KoalaPicture& working,
                  const std::string& destination) {
  switch (output) {
    case Output::koala_picture:
      return save_file_bytes(working, destination);
    case Output::png_image: {
      const std::optional<std::vector<std::uint8_t>> image = encode_png(working);
      return image && save_file_bytes(*image, destination);
    }
    case Output::nothing:
      break;
  }
  return true;
}

void save_result(Output output, const KoalaPicture& working,
                 const std::string& destination) {
  std::printf("Saving...\n");
  if (!write_output(output, working, destination))
    die_with_usage("ERROR: File '%s' could not be written.", destination.c_str());
  std::printf("Done.\n");
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
  if (argc < 2) {
    print_title(argc > 0 ? argv[0] : "bitmosaic");
    return 0;
  }
  CommandSettings settings;
  parse_arguments(argc, argv, settings);
  const Command& command = *settings.command;  // the parser accepted one word or ended
  if (!settings.source_path) die_with_usage("ERROR: File '<src>' not found.");
  const std::string destination = name_destination(settings, command);

  // Left uninitialised: a run reads only the pictures it loads or starts.
  KoalaPicture source;
  KoalaPicture second;
  KoalaPicture working;
  const std::int64_t source_size = load_picture(*settings.source_path, source);
  if (command.second_picture) {
    if (!settings.second_path) die_with_usage("ERROR: File '<pic2>' not found.");
    load_picture(*settings.second_path, second);
  }
  start_working(command.start, source, working);
  if (command.apply != nullptr) {
    RunPictures pictures{source, source_size, second, working};
    command.apply(settings, pictures);
  }
  if (command.output == Output::nothing) return 0;

  save_result(command.output, working, destination);
  if (settings.launch_viewer && !open_with_viewer(destination))
    std::fprintf(stderr, "WARNING: Could not open '%s'.\n", destination.c_str());
  return 0;
}

}  // namespace bitmosaic
