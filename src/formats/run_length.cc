#include "formats/run_length.h"

#include <algorithm>

namespace bitmosaic {
namespace {

constexpr std::size_t kLongestRun = 255;
// A run costs three bytes, so it pays off from four equal bytes; the escape
// byte costs three bytes even alone.
constexpr std::size_t kShortestRun = 4;
constexpr std::size_t kRunBytes = 3;

// The length of the run of equal bytes that starts at `from`, at most
// `longest`.
std::size_t run_length_at(const std::uint8_t* from, const std::uint8_t* end, std::size_t longest) {
  const std::uint8_t value = *from;
  const std::uint8_t* last =
      end - from > static_cast<std::ptrdiff_t>(longest) ? from + longest : end;
  const std::uint8_t* at = from + 1;
  while (at != last && *at == value) ++at;
  return static_cast<std::size_t>(at - from);
}

}  // namespace

void pack_runs(std::span<const std::uint8_t> data, const RunCoding& coding,
               std::vector<std::uint8_t>& out) {
  // At worst every byte is the escape byte: three bytes each.
  const std::size_t start = out.size();
  out.resize(start + kRunBytes * data.size());
  std::uint8_t* put = out.data() + start;
  const std::uint8_t* at = data.data();
  const std::uint8_t* const end = at + data.size();
  const bool value_first = coding.order == RunOrder::value_then_count;
  while (at != end) {
    const std::uint8_t value = *at;
    const std::size_t length = run_length_at(at, end, kLongestRun);
    if (value == coding.escape || length >= kShortestRun) {
      const auto count = static_cast<std::uint8_t>(length);
      put[0] = coding.escape;
      put[1] = value_first ? value : count;
      put[2] = value_first ? count : value;
      put += kRunBytes;
    } else {
      put = std::fill_n(put, length, value);
    }
    at += length;
  }
  out.resize(static_cast<std::size_t>(put - out.data()));
}

std::array<std::size_t, 256> packed_sizes_by_escape(std::span<const std::uint8_t> data) {
  // A run of one value costs the same whatever the escape byte is, unless
  // the value is the escape byte itself: then every piece of it is a run.
  std::array<std::size_t, 256> as_literal{};
  std::array<std::size_t, 256> as_escape{};
  std::size_t total = 0;
  const std::uint8_t* at = data.data();
  const std::uint8_t* const end = at + data.size();
  while (at != end) {
    const std::uint8_t value = *at;
    const std::size_t length = run_length_at(at, end, data.size());
    const std::size_t whole_pieces = length / kLongestRun;
    const std::size_t rest = length % kLongestRun;
    const std::size_t cost = whole_pieces * kRunBytes + (rest >= kShortestRun ? kRunBytes : rest);
    total += cost;
    as_literal[value] += cost;
    as_escape[value] += (whole_pieces + (rest > 0 ? 1 : 0)) * kRunBytes;
    at += length;
  }
  std::array<std::size_t, 256> sizes{};
  for (std::size_t escape = 0; escape < sizes.size(); ++escape)
    sizes[escape] = total - as_literal[escape] + as_escape[escape];
  return sizes;
}

std::optional<Unpacking> unpack_runs(std::span<const std::uint8_t> packed, const RunCoding& coding,
                                     std::span<std::uint8_t> out, std::size_t at_least) {
  Unpacking result;
  std::size_t made = 0;
  std::size_t at = 0;
  const std::size_t size = packed.size();
  const bool value_first = coding.order == RunOrder::value_then_count;
  while (made < out.size() && at < size) {
    const std::uint8_t byte = packed[at];
    std::size_t count = 0;
    std::uint8_t value = 0;
    if (byte == coding.escape) {
      if (coding.zero == ZeroRun::as_end && !value_first && at + 1 < size && packed[at + 1] == 0) {
        result.saw_zero = true;
        result.ended = true;
        at += 2;
        break;
      }
      if (size - at < 3) break;  // a run cut short: the data ends here
      value = packed[at + (value_first ? 1 : 2)];
      const std::uint8_t count_byte = packed[at + (value_first ? 2 : 1)];
      at += 3;
      count = count_byte;
      if (count_byte == 0) {
        result.saw_zero = true;
        count = coding.zero == ZeroRun::as_256 ? 256 : 0;
      }
    } else if (byte == coding.long_escape) {
      if (size - at < 4) break;
      count = packed[at + 1] | static_cast<std::size_t>(packed[at + 2]) << 8;
      value = packed[at + 3];
      at += 4;
    } else if (byte == coding.literal_escape) {
      if (size - at < 3) break;
      count = packed[at + 1] | static_cast<std::size_t>(packed[at + 2]) << 8;
      if (count > out.size() - made) return std::nullopt;
      if (size - at - 3 < count) break;
      std::copy_n(packed.begin() + static_cast<std::ptrdiff_t>(at + 3), count,
                  out.begin() + static_cast<std::ptrdiff_t>(made));
      made += count;
      at += 3 + count;
      continue;
    } else if (coding.bare_literals) {
      out[made++] = byte;
      ++at;
      continue;
    } else {
      return std::nullopt;  // a byte that is no command
    }
    if (count > out.size() - made) return std::nullopt;
    std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(made), count, value);
    made += count;
  }
  // The end marker may follow the last byte.
  if (!result.ended && made == out.size() && coding.zero == ZeroRun::as_end && !value_first &&
      size - at >= 2 && packed[at] == coding.escape && packed[at + 1] == 0) {
    result.ended = true;
    result.saw_zero = true;
    at += 2;
  }
  if (made < (at_least == 0 ? out.size() : at_least)) return std::nullopt;
  result.consumed = at;
  result.made = made;
  return result;
}

}  // namespace bitmosaic
