#include "import/koala_forms.h"

#include <algorithm>

namespace bitmosaic {
namespace {

constexpr std::size_t kWithoutAddressSize = kKoalaFileSize - 2;  // 10001
constexpr std::size_t kPaddedSize = kKoalaFileSize + 3;          // 10006
constexpr std::uint8_t kRunMarker = 0xFE;
constexpr std::size_t kLastLoadAddress = 0x10000 - kWithoutAddressSize;  // $D8EF

struct Unpacked {
  bool exact = false;      // exactly 10001 bytes came out
  bool saw_zero = false;   // a run had the count 0
};

Unpacked unpack(std::span<const std::uint8_t> file, std::size_t zero_means,
                KoalaPicture& picture) {
  Unpacked result;
  picture[0] = file[0];
  picture[1] = file[1];
  std::uint8_t* out = picture.data() + 2;
  std::size_t made = 0;
  std::size_t at = 2;
  while (made < kWithoutAddressSize) {
    if (at >= file.size()) return result;
    const std::uint8_t byte = file[at++];
    if (byte != kRunMarker) {
      out[made++] = byte;
      continue;
    }
    if (file.size() - at < 2) return result;
    const std::uint8_t value = file[at];
    const std::uint8_t count_byte = file[at + 1];
    at += 2;
    if (count_byte == 0) result.saw_zero = true;
    const std::size_t count = count_byte == 0 ? zero_means : count_byte;
    if (count > kWithoutAddressSize - made) return result;
    std::fill_n(out + made, count, value);
    made += count;
  }
  result.exact = true;
  return result;
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
  const Unpacked as_256 = unpack(file, 256, picture);
  if (as_256.exact) {
    found.zero_count = as_256.saw_zero ? ZeroCount::as_256 : ZeroCount::absent;
    return found;
  }
  if (!as_256.saw_zero || !unpack(file, 0, picture).exact) return std::nullopt;
  found.zero_count = ZeroCount::as_empty;
  return found;
}

}  // namespace bitmosaic
