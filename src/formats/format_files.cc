#include "formats/format_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/displayer.h"
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

}  // namespace

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

}  // namespace bitmosaic
