#include "formats/run_length.h"

#include <algorithm>

namespace bitmosaic {
namespace {

constexpr std::size_t kLongestRun = 255;
// A run costs three bytes, so it pays off from four equal bytes; the escape
// byte costs three bytes even alone.
constexpr std::size_t kShortestRun = 4;

void put_run(std::uint8_t value, std::size_t count, const RunCoding& coding,
             std::vector<std::uint8_t>& out) {
  const auto count_byte = static_cast<std::uint8_t>(count);
  out.push_back(coding.escape);
  if (coding.order == RunOrder::value_then_count) {
    out.push_back(value);
    out.push_back(count_byte);
  } else {
    out.push_back(count_byte);
    out.push_back(value);
  }
}

}  // namespace

void pack_runs(std::span<const std::uint8_t> data, const RunCoding& coding,
               std::vector<std::uint8_t>& out) {
  std::size_t at = 0;
  while (at < data.size()) {
    const std::uint8_t value = data[at];
    std::size_t length = 1;
    while (at + length < data.size() && data[at + length] == value && length < kLongestRun)
      ++length;
    if (value == coding.escape || length >= kShortestRun) {
      put_run(value, length, coding, out);
    } else {
      out.insert(out.end(), length, value);
    }
    at += length;
  }
}

std::optional<Unpacking> unpack_runs(std::span<const std::uint8_t> packed, const RunCoding& coding,
                                     std::span<std::uint8_t> out) {
  Unpacking result;
  std::size_t made = 0;
  std::size_t at = 0;
  while (made < out.size()) {
    if (at >= packed.size()) return std::nullopt;
    const std::uint8_t byte = packed[at++];
    if (byte != coding.escape) {
      out[made++] = byte;
      continue;
    }
    if (coding.zero == ZeroRun::as_end && coding.order == RunOrder::count_then_value &&
        at < packed.size() && packed[at] == 0) {
      result.saw_zero = true;
      result.ended = true;
      ++at;
      break;
    }
    if (packed.size() - at < 2) return std::nullopt;
    const bool value_first = coding.order == RunOrder::value_then_count;
    const std::uint8_t value = packed[at + (value_first ? 0 : 1)];
    const std::uint8_t count_byte = packed[at + (value_first ? 1 : 0)];
    at += 2;
    std::size_t count = count_byte;
    if (count_byte == 0) {
      result.saw_zero = true;
      count = coding.zero == ZeroRun::as_256 ? 256 : 0;
    }
    if (count > out.size() - made) return std::nullopt;
    std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(made), count, value);
    made += count;
  }
  if (made < out.size()) return std::nullopt;
  // The end marker may follow the last byte.
  if (!result.ended && coding.zero == ZeroRun::as_end && packed.size() - at >= 2 &&
      packed[at] == coding.escape && packed[at + 1] == 0) {
    result.ended = true;
    result.saw_zero = true;
    at += 2;
  }
  result.consumed = at;
  return result;
}

}  // namespace bitmosaic
