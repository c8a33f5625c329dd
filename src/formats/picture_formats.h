// The multicolour picture formats of the C64 paint programs, one row each.
// They all hold the same four things as a Koala picture (bitmap, screen
// colours, colour RAM, background) in other orders, sizes and packings; a
// row says where each part lies and how the bytes are stored, and the
// reading and writing in format_files.h do the rest for every row alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/run_length.h"

namespace bitmosaic {

// How a format stores its bytes after the load address.
enum class Packing {
  none,                  // the layout as it is
  gg,                    // Koala's packed form: $FE value count
  amica,                 // $C2 count value, $C2 $00 ends; a colour-cycling table follows
  drazpaint,             // "DRAZPAINT 1.4", the escape byte, then escape count value
  zoomatic,              // read backwards from the escape byte, the file's last
  boogie_down_escape,    // a 6-byte header, the escape byte, then escape count value
  boogie_down_5,         // "BDP 5.00", two escape bytes, runs with one- and two-byte counts
  boogie_down_commands,  // no header: $FF count value runs and $FE blocks of literal bytes
  displayer,             // a program that shows the picture (displayer.h, displayer_reader.h)
};

// How many cells one colour byte serves.
enum class Spread {
  every_cell,  // 1000 bytes, row by row
  all_cells,   // one byte for the whole picture
};

inline constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

// Where the parts of a picture lie in the bytes that follow the load
// address (once unpacked). Offsets count from the first of those bytes.
struct Layout {
  std::size_t bitmap;
  std::size_t screen;
  std::size_t colour_ram;
  std::size_t background;  // kNowhere: the format shows a black background
  // Where sources disagree on the background's place: written in both,
  // read from `background`.
  std::size_t second_background = kNowhere;
  std::size_t border = kNowhere;  // written as the background unless told otherwise
  Spread screen_spread = Spread::every_cell;
  Spread colour_ram_spread = Spread::every_cell;
};

// Where a format's load address comes from.
enum class AddressSource {
  known,    // the program's own, as its files carry it
  chosen,   // no source gives one: ours, loading nothing over zero page or the stack
  unknown,  // no source gives one and bitmosaic does not write the format
  none,     // the file has no load address
};

// Bytes that are always the same in a file of the format, at an offset
// after the load address.
struct FixedBytes {
  std::size_t at = 0;
  const char* bytes = nullptr;  // nullptr: none
  std::size_t length = 0;
  bool needed_to_read = false;  // a file without them is not of the format
};

struct PictureFormat {
  const char* name;        // as --format names it: short, lower case
  const char* title;       // as messages name it: "<title> picture"
  const char* extensions;  // lower case, separated by blanks; the first names new files
  std::size_t data_size;   // bytes after the load address (unpacked)
  std::uint16_t load_address;
  AddressSource address_source;
  Layout layout;
  Packing packing = Packing::none;
  FixedBytes fixed = {};
  std::size_t padding = 0;  // bytes at the end that only pad the file
  // Koala's own forms carry the picture's load address, whatever it is.
  bool keeps_picture_address = false;
  bool read_only = false;
};

// The packed forms: the coding and the frame around the coded bytes. The
// offsets count from the first byte after the load address.
struct PackingRule {
  Packing packing;
  RunCoding coding;  // the escape byte is the coding's unless the file holds it
  const char* header = nullptr;  // bytes the file starts with
  std::size_t header_length = 0;
  std::size_t escape_at = kNowhere;          // where the file holds the escape byte
  std::size_t second_escape_at = kNowhere;   // and the one of the two-byte counts
  std::size_t data_at = 0;                   // where the coded bytes start
  // The escape byte is the file's last; the coded bytes before it are read
  // from the end towards the start, and fill the data from its end.
  bool backwards = false;
  // Bytes unpacked after the format's data (Amica's colour-cycling table),
  // which readers may do without.
  std::size_t trailer = 0;
  bool end_marker = false;  // the writer ends the coded bytes with escape, 0
  // Sources disagree on a count of 0: where reading it the coding's way
  // does not come out, it is read this way (as the coding's: no second try).
  ZeroRun other_zero;
};

// Every row, in the order they are tried and listed. Where an extension
// names several rows, the first is the one a new file of that name gets.
std::span<const PictureFormat> picture_formats();

// The rule of a packed format; nullptr for Packing::none and the displayer.
const PackingRule* packing_rule(Packing packing);

// The bytes a file of the format takes before it is packed: the load
// address (where there is one) and the data.
std::size_t layout_file_size(const PictureFormat& format);

// The row called `name`, or the first row whose extensions include `name`
// (case is ignored); nullptr when none.
const PictureFormat* format_named(std::string_view name);

// True when `extension` (without its dot, any case) is one of the row's.
bool has_extension(const PictureFormat& format, std::string_view extension);

// The extension of `path`'s file name, without its dot; empty when it has none.
std::string_view file_extension(std::string_view path);

enum class FormatUse { read, written };

// The names of the rows read, or of those written, separated by ", ".
std::string format_names(FormatUse use);

// What a new file of the format ends in: a dot and its first extension.
std::string new_file_suffix(const PictureFormat& format);

}  // namespace bitmosaic
