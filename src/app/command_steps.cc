#include "app/command_steps.h"

#include <cstdlib>
#include <cstring>

#include "app/progress.h"
#include "cli/fatal.h"
#include "effects/cell_clearing.h"
#include "effects/merge_mask.h"
#include "effects/moves.h"
#include "effects/pixel_lines.h"
#include "effects/region_copies.h"
#include "convert/convert_picture.h"
#include "image/image_reader.h"
#include "image/load_image.h"
#include "formats/format_files.h"
#include "import/import_file.h"
#include "image/c64_palette.h"
#include "preview/terminal_preview.h"
#include "base/colour_names.h"
#include "report/info_report.h"
#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

// The rectangle that del, crop, replace and insert (and their one-number
// forms, which the parser widens to a rectangle) were given.
CellRectangle cells_of(const CommandSettings& settings) {
  return {settings.x1, settings.y1, settings.x2, settings.y2};
}

// A size the user set in the environment (COLUMNS, LINES), else `reported`.
// It counts only when it is all digits and from 1 to kLargestTerminalSide:
// "80abc", "-5" and "99999999999" count as unset, so nothing larger ever
// reaches the arithmetic.
int size_from_environment(const char* name, int reported) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return reported;
  int value = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') return reported;
    value = value * 10 + (*digit - '0');
    if (value > kLargestTerminalSide) return reported;
  }
  return value >= 1 ? value : reported;
}

}  // namespace

void apply_mask(const CommandSettings& settings, RunPictures& pictures) {
  run_mask(settings.invert_mask ? MaskKeeps::unset_pixels : MaskKeeps::set_pixels,
           pictures.working, pictures.second);
}

void apply_del(const CommandSettings& settings, RunPictures& pictures) {
  print_progress("Deleting %i %i %i %i\n", settings.x1, settings.y1, settings.x2,
                 settings.y2);
  run_del(cells_of(settings), pictures.working);
}

void apply_crop(const CommandSettings& settings, RunPictures& pictures) {
  print_progress("Cropping %i %i %i %i\n", settings.x1, settings.y1, settings.x2,
                 settings.y2);
  run_crop(cells_of(settings), pictures.working);
}

void apply_delv(const CommandSettings& settings, RunPictures& pictures) {
  // delv keeps its pixel-line range in y1..y2.
  print_progress("Deleting content from line %d to %d with step %d.\n", settings.y1,
                 settings.y2, settings.step);
  run_delv(settings.y1, settings.y2, settings.step, pictures.working);
}

void apply_filter(const CommandSettings&, RunPictures& pictures) {
  run_filter(pictures.working);
}

void apply_replace(const CommandSettings& settings, RunPictures& pictures) {
  print_progress("Replacing (%i/%i)-(%i/%i)\n", settings.x1, settings.y1,
                 settings.x2, settings.y2);
  run_replace(cells_of(settings), pictures.working, pictures.second);
}

void apply_insert(const CommandSettings& settings, RunPictures& pictures) {
  print_progress("Inserting %i %i %i %i\n", settings.x1, settings.y1, settings.x2,
                 settings.y2);
  run_insert(cells_of(settings), pictures.working, pictures.second);
}

void apply_info(const CommandSettings& settings, RunPictures& pictures) {
  print_info_report(*settings.source_path, pictures.source, pictures.source_size,
                    settings.info_col, settings.info_row);
}

void apply_show(const CommandSettings& settings, RunPictures& pictures) {
  // On a terminal the picture fits its size: COLUMNS and LINES where set,
  // else what the terminal reports. Anywhere else it is drawn full size.
  PreviewSize size = kFullPreview;
  if (is_terminal(stdout)) {
    const TerminalSize terminal = terminal_size(stdout).value_or(TerminalSize{80, 24});
    size = fitting_preview(size_from_environment("COLUMNS", terminal.columns),
                           size_from_environment("LINES", terminal.lines));
  }
  const char* announced = std::getenv("COLORTERM");
  const bool direct = announced != nullptr && (std::strcmp(announced, "truecolor") == 0 ||
                                               std::strcmp(announced, "24bit") == 0);
  enable_colour_sequences(stdout);
  print_terminal_preview(pictures.source, palette_colours(settings.palette), size,
                         direct ? TerminalColours::direct : TerminalColours::indexed,
                         preview_uses_utf8());
}

void apply_merge(const CommandSettings& settings, RunPictures& pictures) {
  run_merge(settings.merge_plus ? MergeLines::non_empty_only : MergeLines::all,
            pictures.working, pictures.second);
}

void apply_move(const CommandSettings& settings, RunPictures& pictures) {
  // The parser leaves the offset a one-direction move does not take at 0.
  run_move(settings.x1, settings.y1, pictures.working, pictures.source);
}

void apply_colcopy(const CommandSettings&, RunPictures& pictures) {
  run_colcopy(pictures.working, pictures.second);
}

void apply_convert(const CommandSettings& settings, RunPictures& pictures) {
  const std::string name = printable_name(*settings.source_path, stderr);
  const C64Colours& palette = palette_colours(settings.palette);
  // Transparent pixels lie over black, or over the background asked for.
  const Rgb matte =
      settings.background >= 0 ? palette[static_cast<std::size_t>(settings.background)] : Rgb{};
  // Read piece by piece (the driver opened it): a photograph's file never
  // lies whole beside the decoder's buffers.
  const ImageLoad image =
      load_image_for_conversion(reader_of(*pictures.source_reading), name, settings.scale, matte);
  if (!image.loaded) die_with_usage("%s", image.error.c_str());
  const ConvertedPicture converted =
      convert_picture(image.image, palette, {settings.dither, settings.background});
  const char* dither = "";
  for (const DitherMode& mode : dither_modes())
    if (mode.dither == settings.dither) dither = mode.name;
  print_progress("%s, palette %s, dither %s, background %i [%s]\n", image.description.c_str(),
                 c64_palettes()[static_cast<std::size_t>(settings.palette)].name, dither,
                 converted.background, colour_name(converted.background));
  pictures.working = converted.picture;
}

void apply_import(const CommandSettings& settings, RunPictures& pictures) {
  const ImportResult imported =
      import_file(pictures.source_file, printable_name(*settings.source_path, stderr),
                  settings.palette_named ? settings.palette : -1, settings.from_word,
                  &pictures.working);
  if (!imported.imported) die_with_usage("%s", imported.error.c_str());
  print_progress("%s\n", imported.description.c_str());
}

CommandFunction step_function(Step step) {
  switch (step) {
    case Step::none: return nullptr;
    case Step::mask: return apply_mask;
    case Step::del: return apply_del;
    case Step::crop: return apply_crop;
    case Step::delv: return apply_delv;
    case Step::filter: return apply_filter;
    case Step::replace: return apply_replace;
    case Step::insert: return apply_insert;
    case Step::info: return apply_info;
    case Step::show: return apply_show;
    case Step::merge: return apply_merge;
    case Step::move: return apply_move;
    case Step::colcopy: return apply_colcopy;
    case Step::convert: return apply_convert;
    case Step::import: return apply_import;
  }
  return nullptr;
}

}  // namespace bitmosaic
