#include "formats/displayer.h"

#include <algorithm>
#include <array>

#include "formats/displayer_code.h"
#include "formats/run_length.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kPictureBytes = kKoalaFileSize - kBitmapOffset;  // 10001

// The escape byte is the byte value that occurs least often: at most
// 10001 / 256 = 39 times, each costing at most two bytes more than another
// byte would (a run of one is three bytes). Cutting colours to four bits
// only joins runs, which never makes the coding longer. So the packed data
// is at most 78 bytes longer than in the GG form, and the program stays
// within kDisplayerOverGgForm of it while its code and settings take at most
// 512 - 78 bytes; the displayer test holds it to that.
constexpr std::size_t kMostEscapes = kPictureBytes / 256;

std::uint8_t rarest_byte(std::span<const std::uint8_t> data) {
  std::array<std::size_t, 256> counts{};
  for (const std::uint8_t byte : data) ++counts[byte];
  return static_cast<std::uint8_t>(std::min_element(counts.begin(), counts.end()) -
                                   counts.begin());
}

}  // namespace

std::vector<std::uint8_t> displayer_program(const KoalaPicture& picture, int border) {
  // The machine keeps only the low four bits of colour RAM and background;
  // the high ones (often random in memory dumps) would only break runs.
  std::array<std::uint8_t, kPictureBytes> data;
  std::copy(picture.begin() + kBitmapOffset, picture.end(), data.begin());
  for (std::size_t at = kColourRamOffset; at < kKoalaFileSize; ++at)
    data[at - kBitmapOffset] &= 0x0F;

  const std::uint8_t escape = rarest_byte(data);
  const std::uint8_t background = data[kBackgroundOffset - kBitmapOffset];
  const std::span<const std::uint8_t> code = displayer_code();

  // displayer.asm reads what follows its code in this order: the escape
  // byte, the border colour, the packed picture.
  std::vector<std::uint8_t> program;
  program.reserve(code.size() + 2 + kPictureBytes + 2 * kMostEscapes);
  program.assign(code.begin(), code.end());
  program.push_back(escape);
  program.push_back(border < 0 ? background : static_cast<std::uint8_t>(border & 0x0F));
  pack_runs(data, RunCoding{escape, RunOrder::value_then_count, ZeroRun::as_256}, program);
  return program;
}

}  // namespace bitmosaic
