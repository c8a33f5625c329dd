// The one record that the command line fills and the driver and every effect
// read. Defaults are the member initialisers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "convert/convert_picture.h"
#include "image/image_geometry.h"

namespace bitmosaic {

struct Command;
struct PictureFormat;

struct CommandSettings {
  // The row of the command word; set once the first word was accepted.
  const Command* command = nullptr;

  std::optional<std::string> source_path;  // <src>, <pic1>
  std::optional<std::string> second_path;  // <pic2>, <mask>
  std::optional<std::string> dest_path;    // <dst>

  // Cell rectangle (inclusive) of del, crop, replace and insert; delv keeps
  // its pixel-line range in y1..y2; the moves keep their offsets in x1, y1.
  std::int8_t x1 = 0;
  std::int8_t x2 = 0;
  std::int32_t y1 = 0;
  std::int32_t y2 = 199;
  std::int32_t step = 1;
  std::int32_t info_col = -1;  // negative: no cell detail
  std::int32_t info_row = -1;

  int palette = 0;  // index into c64_palettes(); png and show draw with it
  bool palette_named = false;  // --palette= was given: import matches that palette only
  Dither dither = kDefaultDither;    // convert's --dither=
  int background = -1;               // convert's --background=; -1: chosen
  ScaleMode scale = ScaleMode::fill; // convert's --scale=
  // --format=NAME: a format's name or an extension that names formats; empty
  // when not given. export and convert write that format.
  std::string format_word;
  // The format the source is read as: --from=NAME of png, show and export,
  // and import's --format=NAME; empty: told by name and content.
  std::string from_word;
  int border = -1;  // --border=N: the border colour export writes; -1: the background
  // What the program that shows the picture adds: --fade, and --sid=FILE's tune.
  bool fade = false;
  std::optional<std::string> sid_path;
  // The format a row with Output::format_file writes, chosen by the driver
  // from format_word or the destination before anything is read.
  const PictureFormat* format = nullptr;

  bool main_option_given = false;
  bool needs_second_picture = false;
  bool launch_viewer = false;
  bool invert_mask = false;

  // One flag per command; the parser sets exactly one, from the command's
  // row (merge+ and imask also set merge_plus and invert_mask).
  bool info = false;
  bool del = false;
  bool crop = false;
  bool delv = false;
  bool filter = false;
  bool mask = false;
  bool imask = false;
  bool replace = false;
  bool replacev = false;
  bool replaceh = false;
  bool insert = false;
  bool insertv = false;
  bool inserth = false;
  bool merge = false;
  bool merge_plus = false;
  bool move = false;
  bool movev = false;
  bool moveh = false;
  bool colcopy = false;
  bool png = false;   // save the picture as a PNG image instead
  bool show = false;  // draw the picture in the terminal; writes nothing
  bool export_picture = false;  // write the picture in another format
  bool import = false;  // bring a PNG image or a Koala picture of any form in
  bool convert = false;  // turn any image into the Koala picture most like it
};

}  // namespace bitmosaic
