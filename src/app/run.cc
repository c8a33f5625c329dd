#include "app/run.h"

#include <cstdint>
#include <cstdio>

#include "app/open_result.h"
#include "cli/command_settings.h"
#include "cli/fatal.h"
#include "cli/help_texts.h"
#include "cli/parse_arguments.h"
#include "effects/cell_clearing.h"
#include "effects/merge_mask.h"
#include "effects/moves.h"
#include "effects/pixel_lines.h"
#include "effects/region_copies.h"
#include "picture/koala_picture.h"
#include "picture/picture_file.h"
#include "preview/png_export.h"
#include "preview/terminal_preview.h"
#include "report/info_report.h"

namespace bitmosaic {
namespace {

#if defined(_WIN32)
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kPathSeparators = "/";
#endif

// Pictures and sizes the run holds until the process ends. The one instance
// is static, so the pictures start zeroed without an initialiser that would
// clear them again at run time.
struct RunState {
  CommandSettings settings;
  KoalaPicture source;
  KoalaPicture second;
  KoalaPicture working;
  std::int64_t last_file_size = 0;
  std::string destination;
};

void load_picture(const std::string& path, KoalaPicture& picture,
                  std::int64_t& size) {
  if (!path_exists(path)) die_with_usage("ERROR: File '%s' not found.", path.c_str());
  switch (load_file_bytes(path, picture, &size)) {
    case LoadResult::loaded:
      return;
    case LoadResult::wrong_size:
      die_with_usage("ERROR: Wrong filesize for '%s' (%lld).", path.c_str(),
                     static_cast<long long>(size));
    case LoadResult::unreadable:
      die_with_usage("ERROR: File '%s' not found.", path.c_str());
  }
}

bool moves_cells(const CommandSettings& settings) {
  return settings.move || settings.movev || settings.moveh;
}

// info and show only print: they write no file and open nothing.
bool writes_file(const CommandSettings& settings) {
  return !settings.info && !settings.show;
}

void name_destination(RunState& run) {
  const CommandSettings& settings = run.settings;
  if (settings.dest_path) {
    run.destination = *settings.dest_path;
    return;
  }
  if (!writes_file(settings)) return;
  const std::optional<std::string> named =
      default_destination(*settings.source_path, settings.png ? ".png" : ".out.kla");
  if (!named)
    die_with_usage("ERROR: Source file '%s' has no file extension.",
                   settings.source_path->c_str());
  run.destination = *named;
  std::printf("Destination file set to '%s'.\n", run.destination.c_str());
}

void load_pictures(RunState& run) {
  const CommandSettings& settings = run.settings;
  load_picture(*settings.source_path, run.source, run.last_file_size);
  if (!settings.needs_second_picture) return;
  if (!settings.second_path) die_with_usage("ERROR: File '<pic2>' not found.");
  load_picture(*settings.second_path, run.second, run.last_file_size);
}

// Exactly one block runs: the parser accepts a single command word.
void apply_command(RunState& run) {
  const CommandSettings& s = run.settings;
  KoalaPicture& working = run.working;
  if (s.mask || s.imask) run_mask(s, working, run.second);
  if (s.del) run_del(s, working);
  if (s.crop) run_crop(s, working);
  if (s.delv) run_delv(s, working);
  if (s.filter) run_filter(working);
  if (s.replace || s.replacev || s.replaceh) run_replace(s, working, run.second);
  if (s.insert || s.insertv || s.inserth) run_insert(s, working, run.second);
  if (s.info) print_info_report(s, run.source, run.last_file_size);
  if (s.show) print_terminal_preview(run.source);
  if (s.merge) run_merge(s, working, run.second);
  if (s.move) run_move(s.x1, s.y1, working, run.source);
  if (s.movev) run_move(0, s.y1, working, run.source);
  if (s.moveh) run_move(s.x1, 0, working, run.source);
  if (s.colcopy) run_colcopy(working, run.second);
}

bool save_picture(const RunState& run) {
  if (!run.settings.png) return save_file_bytes(run.working, run.destination);
  const std::optional<std::vector<std::uint8_t>> image = encode_png(run.working);
  return image && save_file_bytes(*image, run.destination);
}

void save_result(const RunState& run) {
  std::printf("Saving...\n");
  if (!save_picture(run))
    die_with_usage("ERROR: File '%s' could not be written.",
                   run.destination.c_str());
  std::printf("Done.\n");
}

}  // namespace

std::optional<std::string> default_destination(const std::string& source_path,
                                               const char* suffix) {
  const std::size_t separator = source_path.find_last_of(kPathSeparators);
  const std::size_t name_start = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = source_path.find_last_of('.');
  if (dot == std::string::npos || dot < name_start) return std::nullopt;
  return source_path.substr(0, dot) + suffix;
}

int run_bitmosaic(int argc, char** argv) {
  if (argc < 2) {
    print_title(argc > 0 ? argv[0] : "bitmosaic");
    return 0;
  }
  static RunState run;  // large pictures stay off the stack
  // A host may drive several runs in one process. The pictures need no
  // reset: a run reads only pictures it has loaded or built itself.
  run.destination.clear();
  run.last_file_size = 0;
  parse_arguments(argc, argv, run.settings);
  const CommandSettings& settings = run.settings;
  if (!settings.source_path) die_with_usage("ERROR: File '<src>' not found.");
  name_destination(run);
  load_pictures(run);
  if (moves_cells(settings))
    run.working.fill(0);  // moves build the result from nothing
  else if (writes_file(settings))
    run.working = run.source;
  apply_command(run);
  if (!writes_file(settings)) return 0;
  save_result(run);
  if (settings.launch_viewer && !open_with_viewer(run.destination))
    std::fprintf(stderr, "WARNING: Could not open '%s'.\n", run.destination.c_str());
  return 0;
}

}  // namespace bitmosaic
