#include "formats/format_files.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "picture/byte_cursor.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kCells = kCellColumns * kCellRows;

// Writes `from` to the start of `to` (at least as long) back to front,
// eight bytes at a time, through pointers checked once against both sizes.
void reverse_bytes(std::span<const std::uint8_t> from, std::span<std::uint8_t> to) {
  const std::size_t size = from.size();
  if (size > to.size()) return;  // cannot be: `to` is sized for the largest packing
  const std::uint8_t* const in = from.data();
  std::uint8_t* const out = to.data();
  std::size_t at = 0;
  for (; size - at >= 8; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, in + at, sizeof word);
    word = __builtin_bswap64(word);
    std::memcpy(out + size - at - 8, &word, sizeof word);
  }
  for (; at < size; ++at) out[size - 1 - at] = in[at];
}

ReadFormat::Zero zero_read(ZeroRun zero) {
  return zero == ZeroRun::as_256 ? ReadFormat::Zero::as_256 : ReadFormat::Zero::as_empty;
}

}  // namespace

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
