#include "formats/format_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/displayer.h"
#include "picture/byte_cursor.h"
#include "base/message.h"
#include "base/colour_names.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kAddressBytes = 2;
constexpr std::size_t kCells = kCellColumns * kCellRows;

std::span<const std::uint8_t> picture_part(const KoalaPicture& picture, std::size_t offset,
                                           std::size_t length) {
  return std::span(picture).subspan(offset, length);
}

// The bit pairs that the pixels of a cell use: bit n set when pair n occurs.
unsigned pairs_used(const KoalaPicture& picture, int column, int row) {
  unsigned used = 0;
  for (int line = 0; line < kLinesPerCell; ++line) {
    const std::uint8_t byte = picture[cell_byte_offset(column, row, line)];
    for (int pixel = 0; pixel < kPixelsPerByte; ++pixel) used |= 1u << pixel_value(byte, pixel);
  }
  return used;
}

// What holds the colour of each bit pair, as messages say it.
constexpr const char* kPairNames[4] = {"00", "01", "10", "11"};
constexpr const char* kPairSources[4] = {"background", "screen colour", "screen colour",
                                         "colour-RAM colour"};

// The colour that one byte shows in every cell: set by the first cell whose
// pixels show it.
struct SharedColour {
  bool set = false;
  int colour = 0;
  int column = 0, row = 0;
};

// The bytes a format that holds one colour for all cells writes, or why
// the picture does not fit.
struct SharedBytes {
  std::uint8_t screen = 0;
  std::uint8_t colour_ram = 0;
  std::string refusal;
};

SharedBytes shared_bytes(const PictureFormat& format, const KoalaPicture& picture,
                         const std::string& name) {
  const Layout& layout = format.layout;
  SharedBytes bytes;
  // Pairs 01 and 10 come from the screen colour, 11 from colour RAM.
  unsigned shared = 0;
  if (layout.screen_spread == Spread::all_cells) shared |= 0b0110;
  if (layout.colour_ram_spread == Spread::all_cells) shared |= 0b1000;
  const bool black_only = layout.background == kNowhere;
  const int background = picture[kBackgroundOffset] & 0x0F;
  SharedColour colours[4];
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      const unsigned used = pairs_used(picture, column, row);
      if (black_only && (used & 1u) != 0 && background != 0) {
        bytes.refusal = formatted(
            "ERROR: Picture '%s' does not fit %s, whose background is always black: cell col "
            "%i, row %i shows the background %i [%s].",
            name.c_str(), format.title, column, row, background, colour_name(background));
        return bytes;
      }
      for (int pair = 1; pair < 4; ++pair) {
        if ((used & shared & (1u << pair)) == 0) continue;
        const int colour = pixel_colour(picture, column, row, pair);
        SharedColour& first = colours[pair];
        if (!first.set) {
          first = {true, colour, column, row};
        } else if (first.colour != colour) {
          bytes.refusal = formatted(
              "ERROR: Picture '%s' does not fit %s, which holds one %s for all cells: cell col "
              "%i, row %i shows %i [%s] with bit pair %s, cell col %i, row %i shows %i [%s].",
              name.c_str(), format.title, kPairSources[pair], column, row, colour,
              colour_name(colour), kPairNames[pair], first.column, first.row, first.colour,
              colour_name(first.colour));
          return bytes;
        }
      }
    }
  }
  // A colour no pixel shows is kept from the first cell.
  const std::uint8_t first_screen = picture[screen_colour_offset(0, 0)];
  const int high = colours[1].set ? colours[1].colour : first_screen >> 4;
  const int low = colours[2].set ? colours[2].colour : first_screen & 0x0F;
  bytes.screen = static_cast<std::uint8_t>(high << 4 | low);
  bytes.colour_ram = colours[3].set ? static_cast<std::uint8_t>(colours[3].colour)
                                    : picture[colour_ram_offset(0, 0)];
  return bytes;
}

// True for formats whose data after the load address is the 10001 bytes of
// a Koala file as they are, with nothing else to write.
bool holds_koala_data(const PictureFormat& format) {
  const Layout& layout = format.layout;
  const Layout koala{kBitmapOffset - kAddressBytes, kScreenColourOffset - kAddressBytes,
                     kColourRamOffset - kAddressBytes, kBackgroundOffset - kAddressBytes};
  return format.data_size == kKoalaFileSize - kAddressBytes && layout.bitmap == koala.bitmap &&
         layout.screen == koala.screen && layout.colour_ram == koala.colour_ram &&
         layout.background == koala.background && layout.second_background == kNowhere &&
         layout.border == kNowhere && layout.screen_spread == Spread::every_cell &&
         layout.colour_ram_spread == Spread::every_cell && format.fixed.bytes == nullptr;
}

std::span<const std::uint8_t> koala_data(const KoalaPicture& picture) {
  return std::span(picture).subspan(kBitmapOffset);
}

// Fills `data` (the format's data_size bytes) with the picture in the
// format's layout; every byte that holds no part is 0.
void lay_out(const PictureFormat& format, const KoalaPicture& picture, int border,
             const SharedBytes& shared, std::span<std::uint8_t> data) {
  const Layout& layout = format.layout;
  // The parts' places, in order, so that only the bytes between them are
  // cleared: most of the data is the parts.
  struct Place {
    std::size_t at, length;
  };
  std::array<Place, 7> places;
  std::size_t count = 0;
  const auto add = [&](std::size_t at, std::size_t length) {
    if (at == kNowhere) return;
    std::size_t i = count++;
    for (; i > 0 && places[i - 1].at > at; --i) places[i] = places[i - 1];
    places[i] = {at, length};
  };
  const auto cells = [](Spread spread) { return spread == Spread::every_cell ? kCells : 1; };
  add(layout.bitmap, kBitmapSize);
  add(layout.screen, cells(layout.screen_spread));
  add(layout.colour_ram, cells(layout.colour_ram_spread));
  add(layout.background, 1);
  add(layout.second_background, 1);
  add(layout.border, 1);
  if (format.fixed.bytes != nullptr) add(format.fixed.at, format.fixed.length);
  std::size_t cleared = 0;
  for (std::size_t i = 0; i <= count; ++i) {
    const std::size_t next = i < count ? places[i].at : data.size();
    if (next > cleared)
      std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(cleared), next - cleared, 0);
    if (i < count) cleared = std::max(cleared, places[i].at + places[i].length);
  }
  const auto place = [&data](std::span<const std::uint8_t> part, std::size_t at) {
    std::copy(part.begin(), part.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
  };
  place(picture_part(picture, kBitmapOffset, kBitmapSize), layout.bitmap);
  if (layout.screen_spread == Spread::every_cell)
    place(picture_part(picture, kScreenColourOffset, kCells), layout.screen);
  else
    data[layout.screen] = shared.screen;
  if (layout.colour_ram_spread == Spread::every_cell)
    place(picture_part(picture, kColourRamOffset, kCells), layout.colour_ram);
  else
    data[layout.colour_ram] = shared.colour_ram;
  const std::uint8_t background = picture[kBackgroundOffset];
  for (const std::size_t at : {layout.background, layout.second_background})
    if (at != kNowhere) data[at] = background;
  if (layout.border != kNowhere)
    data[layout.border] =
        static_cast<std::uint8_t>(border == kBorderIsBackground ? background & 0x0F : border);
  if (format.fixed.bytes != nullptr)
    place(std::span(reinterpret_cast<const std::uint8_t*>(format.fixed.bytes), format.fixed.length),
          format.fixed.at);
}

// Packs `data` followed by `zeros` bytes 0 to `out`, as one stream: the
// last run of `data`, where it is of zeros, goes on into them. Returns the
// bytes written.
std::size_t pack_with_zeros(std::span<const std::uint8_t> data, std::size_t zeros,
                            const RunCoding& coding, std::span<std::uint8_t> out) {
  if (zeros == 0) return pack_runs_into(data, coding, out);
  std::size_t seam = data.size();
  while (seam > 0 && data[seam - 1] == 0) --seam;
  const std::size_t size = pack_runs_into(data.first(seam), coding, out);
  return size + pack_repeated(0, data.size() - seam + zeros, coding, out.subspan(size));
}

// Writes the packed form of `data` and `zeros` bytes 0 at `out`, framed by
// the rule; returns the bytes written. A rule whose escape byte the writer
// chooses has no trailer: it is chosen for `data`.
std::size_t put_packed(const PackingRule& rule, std::span<const std::uint8_t> data,
                       std::size_t zeros, std::span<std::uint8_t> out) {
  RunCoding coding = rule.coding;
  std::fill_n(out.begin(), rule.data_at, std::uint8_t{0});
  if (rule.header != nullptr) {
    const std::size_t length = std::strlen(rule.header);
    std::copy_n(rule.header, length, out.begin());
  }
  if (rule.escape_at != kNowhere) {
    // The escape byte is the writer's to choose: the one that packs smallest.
    coding.escape = cheapest_escape(data);
    out[rule.escape_at] = coding.escape;
  }
  std::size_t size =
      rule.data_at + pack_with_zeros(data, zeros, coding, out.subspan(rule.data_at));
  if (rule.end_marker) {
    out[size++] = coding.escape;
    out[size++] = 0;
  }
  return size;
}

// Writes `from` to the start of `to` back to front, eight bytes at a time.
void reverse_bytes(std::span<const std::uint8_t> from, std::span<std::uint8_t> to) {
  const std::size_t size = from.size();
  std::size_t at = 0;
  for (; size - at >= 8; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, &from[at], sizeof word);
    word = __builtin_bswap64(word);
    std::memcpy(&to[size - at - 8], &word, sizeof word);
  }
  for (; at < size; ++at) to[size - 1 - at] = from[at];
}

ReadFormat::Zero zero_read(ZeroRun zero) {
  return zero == ZeroRun::as_256 ? ReadFormat::Zero::as_256 : ReadFormat::Zero::as_empty;
}

}  // namespace

bool write_format_file(const PictureFormat& format, const KoalaPicture& picture, int border,
                       const std::string& name, FormatFile& file, const ReleaseExtras& extras) {
  file.size = 0;
  const PackingRule* rule = packing_rule(format.packing);
  if (format.packing == Packing::displayer) {
    std::vector<std::uint8_t> program;
    if (!extras.fade && extras.tune == nullptr) {
      program = displayer_program(picture, border);
    } else if (!release_program(picture, border, extras.fade, extras.tune, program)) {
      file.refusal = formatted(
          "ERROR: Tune '%s' ($%04X-$%04X) leaves no room for the picture and the program.",
          extras.tune_name.c_str(), extras.tune->load, extras.tune->end);
      return false;
    }
    // Cannot be: the code and the data packed, a tune program below $4000.
    if (program.size() > file.block.size()) return false;
    file.size = program.size();
    std::copy(program.begin(), program.end(), file.block.begin());
    return true;
  }
  if (format.read_only || (format.packing != Packing::none && rule == nullptr)) {
    file.refusal = formatted("ERROR: bitmosaic reads %s pictures but does not write them.",
                             format.title);
    return false;
  }
  const Layout& layout = format.layout;
  SharedBytes shared;
  if (layout.screen_spread == Spread::all_cells || layout.colour_ram_spread == Spread::all_cells ||
      layout.background == kNowhere) {
    shared = shared_bytes(format, picture, name);
    if (!shared.refusal.empty()) {
      file.refusal = shared.refusal;
      return false;
    }
  }
  std::span<std::uint8_t> out(file.block);
  if (format.address_source != AddressSource::none) {
    const std::uint16_t address =
        format.keeps_picture_address ? load_address(picture) : format.load_address;
    out[file.size++] = static_cast<std::uint8_t>(address & 0xFF);
    out[file.size++] = static_cast<std::uint8_t>(address >> 8);
  }
  const std::size_t trailer = rule != nullptr ? rule->trailer : 0;
  if (rule == nullptr) {
    const std::span<std::uint8_t> data = out.subspan(file.size, format.data_size);
    if (holds_koala_data(format))
      std::copy_n(koala_data(picture).begin(), format.data_size, data.begin());
    else
      lay_out(format, picture, border, shared, data);
    file.size += format.data_size;
  } else if (holds_koala_data(format)) {
    file.size += put_packed(*rule, koala_data(picture), trailer, out.subspan(file.size));
  } else {
    std::array<std::uint8_t, kLargestFormatData> room;
    const std::span<std::uint8_t> data = std::span(room).first(format.data_size);
    lay_out(format, picture, border, shared, data);
    file.size += put_packed(*rule, data, trailer, out.subspan(file.size));
  }
  return true;
}

std::optional<ReadFormat> read_format_file(const PictureFormat& format,
                                           std::span<const std::uint8_t> file, Trust trust,
                                           KoalaPicture& picture) {
  const bool has_address = format.address_source != AddressSource::none;
  ByteCursor in(file);
  ReadFormat read;
  if (has_address) read.file_address = in.u16_le();
  // `data` holds the format's bytes after the load address; Koala's own
  // data is unpacked straight into the picture.
  std::span<const std::uint8_t> data;
  std::array<std::uint8_t, kLargestFormatData> room;
  const bool straight = holds_koala_data(format);
  const PackingRule* rule = packing_rule(format.packing);
  if (format.packing == Packing::none) {
    if (file.size() != layout_file_size(format)) return std::nullopt;
    data = in.rest();
  } else {
    if (rule == nullptr || in.overrun) return std::nullopt;  // the displayer is not read
    // No writer makes more than the largest packing of the data and a
    // sector's slack: a longer file is not of the format, and nothing below
    // is sized by it.
    if (in.left() > kLargestPackedData) return std::nullopt;
    const std::span<const std::uint8_t> after = in.rest();
    ByteCursor frame(after);
    if (rule->header != nullptr &&
        !std::ranges::equal(frame.peek(rule->header_length),
                            std::span(reinterpret_cast<const std::uint8_t*>(rule->header),
                                      rule->header_length)))
      return std::nullopt;
    if (trust == Trust::content_only) {
      // The writers' own load address, or a header where none is known.
      const bool vouched = format.address_source == AddressSource::unknown
                               ? rule->header != nullptr
                               : read.file_address == format.load_address;
      if (!vouched) return std::nullopt;
    }
    RunCoding coding = rule->coding;
    if (rule->escape_at != kNowhere) coding.escape = frame.from(rule->escape_at).byte();
    if (rule->second_escape_at != kNowhere)
      coding.long_escape = frame.from(rule->second_escape_at).byte();
    ByteCursor coded = frame.from(rule->data_at);
    if (coded.overrun) return std::nullopt;
    std::span<const std::uint8_t> packed = coded.rest();
    std::array<std::uint8_t, kLargestPackedData> reversed;
    if (rule->backwards) {
      // In file order a run is value, count, escape: read from the end it
      // is escape, count, value like any other.
      if (packed.empty()) return std::nullopt;
      coding.escape = packed.back();
      packed = packed.first(packed.size() - 1);
      reverse_bytes(packed, reversed);
      packed = std::span(reversed).first(packed.size());
    }
    const std::span<std::uint8_t> unpacked =
        straight && rule->trailer == 0 && !rule->backwards
            ? std::span(picture).subspan(kBitmapOffset)
            : std::span(room).first(format.data_size + rule->trailer);
    const std::size_t at_least = rule->trailer != 0 ? format.data_size : 0;
    std::optional<Unpacking> unpacking = unpack_runs(packed, coding, unpacked, at_least);
    const bool two_readings = rule->other_zero != coding.zero;
    if (unpacking && unpacking->saw_zero && two_readings) read.zero = zero_read(coding.zero);
    if (!unpacking && two_readings) {
      // Where the coding's reading of a count of 0 does not come out, the
      // file may come from a writer that meant the other one (it then holds
      // a count of 0: without one both readings are the same).
      coding.zero = rule->other_zero;
      unpacking = unpack_runs(packed, coding, unpacked, at_least);
      read.zero = zero_read(coding.zero);
    }
    if (!unpacking) return std::nullopt;
    // Whoever names the format, a file ends at most a disk sector's slack
    // after its packed data: a blank or foreign file that happens to unpack
    // is no picture.
    if (packed.size() - unpacking->consumed > kMostSlack) return std::nullopt;
    if (trust == Trust::content_only) {
      // Exactly the picture, or the picture and the whole trailer.
      if (rule->end_marker && !unpacking->ended) return std::nullopt;
      if (unpacking->made != format.data_size && unpacking->made != unpacked.size())
        return std::nullopt;
    }
    data = unpacked;
    if (rule->backwards) {
      // The data was filled from its end: turned round, straight into the
      // picture where it is Koala's own (the packed bytes are done with).
      const std::span<std::uint8_t> target =
          straight ? std::span(picture).subspan(kBitmapOffset) : std::span(reversed);
      reverse_bytes(unpacked.first(format.data_size), target);
      data = target.first(format.data_size);
    }
  }
  const FixedBytes& fixed = format.fixed;
  if (fixed.needed_to_read &&
      !std::equal(fixed.bytes, fixed.bytes + fixed.length,
                  data.begin() + static_cast<std::ptrdiff_t>(fixed.at)))
    return std::nullopt;

  const std::uint16_t address =
      format.keeps_picture_address && has_address ? read.file_address : kDefaultLoadAddress;
  picture[kLoadAddressOffset] = static_cast<std::uint8_t>(address & 0xFF);
  picture[kLoadAddressOffset + 1] = static_cast<std::uint8_t>(address >> 8);
  if (data.data() == picture.data() + kBitmapOffset) return read;  // unpacked in place
  if (straight) {
    std::copy_n(data.begin(), format.data_size, picture.begin() + kBitmapOffset);
    return read;
  }
  const Layout& layout = format.layout;
  const auto take = [&](std::size_t at, std::size_t length, std::size_t offset) {
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), length,
                picture.begin() + static_cast<std::ptrdiff_t>(offset));
  };
  take(layout.bitmap, kBitmapSize, kBitmapOffset);
  if (layout.screen_spread == Spread::every_cell)
    take(layout.screen, kCells, kScreenColourOffset);
  else
    std::fill_n(picture.begin() + kScreenColourOffset, kCells, data[layout.screen]);
  if (layout.colour_ram_spread == Spread::every_cell)
    take(layout.colour_ram, kCells, kColourRamOffset);
  else
    std::fill_n(picture.begin() + kColourRamOffset, kCells, data[layout.colour_ram]);
  picture[kBackgroundOffset] = layout.background == kNowhere ? 0 : data[layout.background];
  return read;
}

}  // namespace bitmosaic
