// Number words on the command line: decimal, 0x hexadecimal or leading-zero
// octal, with optional leading white space and sign, read exactly as the
// classic C strtol in base 0 reads them (and never with a 0b prefix).
#pragma once

#include <cstdint>
#include <string_view>

namespace bitmosaic {

struct NumberReading {
  std::int32_t value;    // clamped to the 32-bit range
  bool reached_end;      // the reading consumed the whole text
};

NumberReading read_number(std::string_view text);

// True when the whole text reads as a number, with at least one digit: the
// empty text is no number.
bool is_number_text(std::string_view text);

// Reads `text` and ends the run when the value lies outside
// minimum..maximum or the text is not entirely a number; the range is
// checked first, so the messages carry the value that was read.
std::int32_t parse_bounded_number(std::string_view text, std::int32_t minimum,
                                  std::int32_t maximum);

}  // namespace bitmosaic
