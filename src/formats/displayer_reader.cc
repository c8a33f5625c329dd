#include "formats/displayer_reader.h"

#include <algorithm>
#include <array>
#include <vector>

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
    return DisplayerRead{DisplayerKind::lz, false, false};
  }
  constexpr struct {
    bool fade, tune;
    ReleaseBank bank;
  } kReleases[] = {{true, false, ReleaseBank::one},  {false, true, ReleaseBank::one},
                   {true, true, ReleaseBank::one},   {false, true, ReleaseBank::two},
                   {true, true, ReleaseBank::two}};
  for (const auto& [fade, tune, bank] : kReleases) {
    const std::span<const std::uint8_t> code = release_code(fade, tune, bank);
    if (!starts_with(in, code)) continue;
    in.skip(code.size());
    if (in.byte() > 15 || in.overrun) return std::nullopt;
    std::uint16_t load = 0, end = 0, stream_to = 0, stream_length = 0;
    if (tune) {
      load = in.u16_le();
      end = in.u16_le();
      in.skip(5);  // init, play, song: any
      const unsigned on_pal = in.u16_le();
      const unsigned on_ntsc = in.u16_le();
      stream_to = in.u16_le();
      stream_length = in.u16_le();
      const auto called = [](unsigned way, unsigned other_frame) {
        return way == kRasterPlay || way == kInitsTimerPlay || way == other_frame;
      };
      if (in.overrun || !called(on_pal, kNtscFrameOnPal) ||
          !called(on_ntsc, kPalFrameOnNtsc) || !tune_leaves_room(load, end, file.size(), bank) ||
          std::size_t{end} - load + 1 > kLongestTune)
        return std::nullopt;
    } else if (!ends_by(file, kReleaseMemory)) {
      return std::nullopt;
    }
    UnpackedPicture unpacked;
    const std::optional<LzUnpacked> read = lz_unpack(in.rest(), unpacked);
    if (!read) return std::nullopt;
    in.skip(read->consumed);
    if (tune) {
      // The packed tune where it unpacks: where it loaded, or moved up.
      const auto loaded = static_cast<unsigned>(0x0801 + file.size() - in.left() - 2);
      std::vector<std::uint8_t> data(std::size_t{end} - load + 1);
      const std::optional<LzUnpacked> tune_read = lz_unpack(in.rest(), data);
      if (!tune_read) return std::nullopt;
      const auto length = static_cast<unsigned>(tune_read->consumed);
      const bool stays = stream_length == 0 && stream_to == loaded &&
                         stream_place_fits(loaded, length, load, end, bank);
      const bool moves = stream_length == length && stream_to >= loaded &&
                         stream_place_fits(stream_to, length, load, end, bank);
      if (!stays && !moves) return std::nullopt;
      in.skip(tune_read->consumed);
    }
    if (!in.at_end()) return std::nullopt;
    picture_from_unpacked(unpacked, picture);
    return DisplayerRead{DisplayerKind::lz, fade, tune};
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
    return DisplayerRead{DisplayerKind::run_length, false, false};
  }
  return std::nullopt;
}

}  // namespace bitmosaic
