#include "cli/numbers.h"

#include <cstdint>
#include <limits>

#include "cli/fatal.h"

namespace bitmosaic {
namespace {

// The C locale's white space: what strtol skips before a number.
bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

NumberReading read_number(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && is_c_space(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  int base = 10;
  if (at < text.size() && text[at] == '0') {
    base = 8;
    // "0x" counts as a prefix only when a hex digit follows; otherwise the
    // reading is the lone 0 and stops at the x.
    if (at + 2 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
        digit_value(text[at + 2]) < 16) {
      base = 16;
      at += 2;
    }
  }
  const std::size_t digits_start = at;
  // Large enough to hold any 32-bit magnitude; beyond it we only remember
  // that the value overflowed.
  constexpr std::int64_t kSaturated = std::int64_t{1} << 40;
  std::int64_t magnitude = 0;
  while (at < text.size() && digit_value(text[at]) < base) {
    magnitude = magnitude * base + digit_value(text[at]);
    if (magnitude > kSaturated) magnitude = kSaturated;
    ++at;
  }
  if (at == digits_start) {
    // No digits at all: nothing is consumed, not even blanks or a sign. The
    // empty text is no number either: an unset shell variable must not
    // become 0 (`del "" pic.kla` would clear the whole bitmap).
    return {0, false};
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max())
    value = std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    value = std::numeric_limits<std::int32_t>::min();
  return {static_cast<std::int32_t>(value), at == text.size()};
}

bool is_number_text(std::string_view text) {
  return read_number(text).reached_end;
}

std::int32_t parse_bounded_number(std::string_view text, std::int32_t minimum,
                                  std::int32_t maximum) {
  const NumberReading reading = read_number(text);
  if (reading.value < minimum)
    die_with_usage("ERROR: Number (%i) too low. [Minimum: %i]", reading.value,
                   minimum);
  if (reading.value > maximum)
    die_with_usage("ERROR: Number (%i) too high. [Maximum: %i]", reading.value,
                   maximum);
  if (!reading.reached_end)
    die_with_usage("ERROR: Not a number (%i).", reading.value);
  return reading.value;
}

}  // namespace bitmosaic
