// A Koala picture written in, and read from, the files of one format of
// the table, by the row's layout and packing alone.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "formats/picture_formats.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// The border byte is the background's colour.
inline constexpr int kBorderIsBackground = -1;

// The most bytes a format's data takes after the load address, unpacked
// (trailer included).
inline constexpr std::size_t kLargestFormatData = 20480;

// Room for the largest file of any format, a packed one at its worst (every
// byte the escape byte) included.
inline constexpr std::size_t kLargestFormatFile = 32768;

// A file of a format as it is made: a fixed block of which the first `size`
// bytes are the file.
struct FormatFile {
  std::array<std::uint8_t, kLargestFormatFile> block;
  std::size_t size = 0;
  std::string refusal;  // the whole message when the picture does not fit; then no bytes

  std::span<const std::uint8_t> bytes() const { return {block.data(), size}; }
};

struct SidTune;

// What the program that shows the picture adds to it: a fade in from black
// and out to black, and a tune it plays meanwhile (none: nullptr).
struct ReleaseExtras {
  bool fade = false;
  const SidTune* tune = nullptr;
  std::string tune_name;  // the tune's file name as messages show it
};

// Makes in `file` the file of `format` that holds `picture`, or says why it
// cannot and returns false: a format that holds one colour for all cells
// takes only pictures whose cells agree on the colours their pixels show,
// and one with a black background only pictures whose pixels show black
// there. `name` is the picture's name as messages show it; `border` is
// 0..15 or kBorderIsBackground.
bool write_format_file(const PictureFormat& format, const KoalaPicture& picture, int border,
                       const std::string& name, FormatFile& file,
                       const ReleaseExtras& extras = {});

// True for formats whose data after the load address is the 10001 bytes of
// a Koala file as they are, with nothing else to write or read.
bool holds_koala_data(const PictureFormat& format);

// How much a reading may take on trust.
enum class Trust {
  // The file's name or the user names the format: any load address (a
  // picture keeps its own, whatever it is), and data that need not come out
  // at exactly the picture's size. At most a sector's slack may follow it,
  // as below.
  named,
  // Only the content speaks: a packed file must carry the load address its
  // writers use (or its header), unpack to exactly the format's data, and
  // end at most a disk sector's slack (253 bytes) after it.
  content_only,
};

inline constexpr std::size_t kMostSlack = 253;

// The most bytes after the load address that a packed file may hold: the
// largest data (trailer included) packed at its worst, every byte a run of
// three, plus a sector's slack and the frame of any packing.
inline constexpr std::size_t kLargestPackedData = 3 * kLargestFormatData + kMostSlack + 64;

struct ReadFormat {
  std::uint16_t file_address = 0;  // the file's own load address, where it has one
  // A count of 0 in a format whose readers disagree on it: how it was read.
  enum class Zero { absent, as_256, as_empty } zero = Zero::absent;
};

// Reads `file` as `format` into `picture`; nothing when the file is not one
// (then `picture` may hold anything). The picture's load address is the
// file's for Koala's own forms, and $6000 for the others.
std::optional<ReadFormat> read_format_file(const PictureFormat& format,
                                           std::span<const std::uint8_t> file, Trust trust,
                                           KoalaPicture& picture);

}  // namespace bitmosaic
