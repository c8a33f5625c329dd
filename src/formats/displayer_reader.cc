#include "formats/displayer_reader.h"

#include <algorithm>
#include <array>

#include "formats/displayer.h"
#include "formats/displayer_code.h"
#include "formats/lz_pack.h"
#include "formats/run_length.h"
#include "picture/byte_cursor.h"

namespace bitmosaic {
namespace {

constexpr std::uint16_t kBasicStart = 0x0801;
// The load address and BASIC line both programs start with: the line 2024
// `SYS2061`, linked to the end of the program.
constexpr std::array<std::uint8_t, 14> kMarker = {0x01, 0x08, 0x0B, 0x08, 0xE8, 0x07, 0x9E,
                                                  '2',  '0',  '6',  '1',  0x00, 0x00, 0x00};

// Where the run-length displayer unpacked the picture: its program had to
// end below.
constexpr std::uint16_t kRunLengthUnpacked = 0x4000;
constexpr std::size_t kPictureData = kKoalaFileSize - kBitmapOffset;  // 10001

// True when `file` loaded at $0801 ends at or below `limit`.
bool ends_by(std::span<const std::uint8_t> file, std::uint16_t limit) {
  return file.size() - 2 <= std::size_t{limit} - kBasicStart;
}

bool starts_with(const ByteCursor& in, std::span<const std::uint8_t> bytes) {
  return std::ranges::equal(in.peek(bytes.size()), bytes);
}

}  // namespace

std::optional<DisplayerRead> read_displayer_program(std::span<const std::uint8_t> file,
                                                    KoalaPicture& picture) {
  ByteCursor in(file);
  if (!starts_with(in, kMarker)) return std::nullopt;
  const std::span<const std::uint8_t> lz_code = displayer_code();
  const std::span<const std::uint8_t> rle_code = displayer_rle_code();
  if (starts_with(in, lz_code)) {
    // The code, the border colour, the packed picture and nothing more.
    if (!ends_by(file, kUnpackedAddress)) return std::nullopt;
    in.skip(lz_code.size());
    if (in.byte() > 15 || in.overrun) return std::nullopt;
    UnpackedPicture unpacked;
    const std::optional<LzUnpacked> read = lz_unpack(in.rest(), unpacked);
    if (!read || read->consumed != in.left()) return std::nullopt;
    picture_from_unpacked(unpacked, picture);
    return DisplayerRead{DisplayerKind::lz};
  }
  if (starts_with(in, rle_code)) {
    // The code, the escape byte, the border colour, then the 10001 bytes
    // after a Koala picture's load address in runs of `escape value count`
    // (a count of 0 ran 256 times in its loop, though it wrote none).
    if (!ends_by(file, kRunLengthUnpacked)) return std::nullopt;
    in.skip(rle_code.size());
    const std::uint8_t escape = in.byte();
    if (in.byte() > 15 || in.overrun) return std::nullopt;
    const std::optional<Unpacking> unpacked =
        unpack_runs(in.rest(), RunCoding{escape, RunOrder::value_then_count, ZeroRun::as_256},
                    std::span(picture).subspan(kBitmapOffset, kPictureData));
    if (!unpacked || unpacked->consumed != in.left()) return std::nullopt;
    picture[0] = kDefaultLoadAddress & 0xFF;
    picture[1] = kDefaultLoadAddress >> 8;
    for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at) picture[at] &= 0x0F;
    return DisplayerRead{DisplayerKind::run_length};
  }
  return std::nullopt;
}

}  // namespace bitmosaic
