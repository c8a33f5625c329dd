#include <algorithm>
#include <bit>
#include <optional>

#include "formats/lz_cost.h"
#include "formats/lz_pack.h"
#include "picture/byte_cursor.h"

namespace bitmosaic {
namespace {

using namespace lz_cost;

// The 6502 decoder's bit reader: a sentinel bit below the bits left.
struct BitReader {
  ByteCursor& in;
  unsigned bits = 0x80;

  bool bit() {
    bool top = (bits & 0x80) != 0;
    bits = (bits << 1) & 0xFF;
    if (bits == 0) {
      const std::uint8_t next = in.byte();
      top = (next & 0x80) != 0;
      bits = ((next << 1) | 1) & 0xFF;
    }
    return top;
  }

  // gamma(v) whose first bit is `more`; nothing past the decoder's 16 bits.
  std::optional<std::size_t> gamma(bool more) {
    std::size_t v = 1;
    while (more) {
      v = v * 2 + bit();
      if (v > 0xFFFF) return std::nullopt;
      more = bit();
    }
    return v;
  }
};

}  // namespace

std::optional<LzUnpacked> lz_unpack(std::span<const std::uint8_t> packed,
                                    std::span<std::uint8_t> out) {
  ByteCursor in(packed);
  BitReader reader{in};
  const std::size_t size = out.size();
  std::size_t made = 0;
  std::size_t offset = 0;  // none yet
  std::uint64_t cycles = 0;
  bool literals = true;    // the stream starts with a literal run
  const auto copy_match = [&](std::size_t length) {
    for (const std::size_t end = made + length; made < end; ++made) out[made] = out[made - offset];
  };
  for (;;) {
    if (literals) {
      const std::optional<std::size_t> count = reader.gamma(reader.bit());
      if (!count || *count > size - made) return std::nullopt;
      const std::span<const std::uint8_t> bytes = in.take(*count);
      if (in.overrun) return std::nullopt;
      std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(made));
      cycles += literals_cost(*count, made == 0).cycles;
      made += *count;
      if (!reader.bit()) {
        // A repeat match
        const std::optional<std::size_t> length = reader.gamma(reader.bit());
        if (offset == 0 || !length || *length > size - made) return std::nullopt;
        copy_match(*length);
        cycles += repeat_match_cost(*length).cycles;
        literals = !reader.bit();
        if (literals) continue;
      }
    }
    // A new match, or the end
    const std::optional<std::size_t> high = reader.gamma(reader.bit());
    if (!high) return std::nullopt;
    if (*high >= kEndHigh) {
      if (in.overrun || made != size) return std::nullopt;
      return LzUnpacked{in.position(), cycles + end_cost().cycles};
    }
    const std::uint8_t low = in.byte();
    const std::optional<std::size_t> length_less_one = reader.gamma((low & 1) != 0);
    offset = (*high - 1) * kLowUnits + (low >> 1) + 1;
    if (in.overrun || !length_less_one || offset > made || *length_less_one >= size - made)
      return std::nullopt;
    copy_match(*length_less_one + 1);
    cycles += new_match_cost(offset, *length_less_one + 1).cycles;
    literals = !reader.bit();
  }
}

}  // namespace bitmosaic
