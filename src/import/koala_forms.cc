#include "import/koala_forms.h"

#include <algorithm>

#include "formats/run_length.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kWithoutAddressSize = kKoalaFileSize - 2;  // 10001
constexpr std::size_t kPaddedSize = kKoalaFileSize + 3;          // 10006
constexpr std::size_t kLastLoadAddress = 0x10000 - kWithoutAddressSize;  // $D8EF

// The paint program's coding: $FE, value, count.
constexpr RunCoding kGgCoding{0xFE, RunOrder::value_then_count, ZeroRun::as_256};

// The 10001 bytes after the load address, with a count of 0 read as `zero`.
std::optional<Unpacking> unpack(std::span<const std::uint8_t> file, ZeroRun zero,
                                KoalaPicture& picture) {
  picture[0] = file[0];
  picture[1] = file[1];
  RunCoding coding = kGgCoding;
  coding.zero = zero;
  return unpack_runs(file.subspan(2), coding, std::span(picture).subspan(kBitmapOffset));
}

}  // namespace

std::optional<FoundKoala> find_koala(std::span<const std::uint8_t> file) {
  FoundKoala found{KoalaForm::whole, ZeroCount::absent, {}};
  KoalaPicture& picture = found.picture;
  if (file.size() == kKoalaFileSize || file.size() == kPaddedSize) {
    found.form = file.size() == kKoalaFileSize ? KoalaForm::whole : KoalaForm::padded;
    std::copy_n(file.begin(), kKoalaFileSize, picture.begin());
    return found;
  }
  if (file.size() == kWithoutAddressSize) {
    found.form = KoalaForm::without_address;
    picture[kLoadAddressOffset] = kDefaultLoadAddress & 0xFF;
    picture[kLoadAddressOffset + 1] = kDefaultLoadAddress >> 8;
    std::copy(file.begin(), file.end(), picture.begin() + kBitmapOffset);
    return found;
  }
  if (file.size() < 3 || file.size() >= kKoalaFileSize) return std::nullopt;
  if ((file[0] | file[1] << 8) > static_cast<int>(kLastLoadAddress)) return std::nullopt;
  found.form = KoalaForm::packed;
  const std::optional<Unpacking> as_256 = unpack(file, ZeroRun::as_256, picture);
  if (as_256) {
    found.zero_count = as_256->saw_zero ? ZeroCount::as_256 : ZeroCount::absent;
    return found;
  }
  // Where reading a count of 0 as 256 overshoots, the file may come from a
  // writer that meant no bytes (it then holds a count of 0: without one both
  // readings are the same).
  if (!unpack(file, ZeroRun::as_none, picture)) return std::nullopt;
  found.zero_count = ZeroCount::as_empty;
  return found;
}

}  // namespace bitmosaic
