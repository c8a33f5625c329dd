#include "cli/numbers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace bitmosaic {
namespace {

struct Reading {
  const char* text;
  std::int32_t value;
  bool whole;
};

class NumberGrammar : public ::testing::TestWithParam<Reading> {};

TEST_P(NumberGrammar, ReadsLikeClassicStrtolInBaseZero) {
  const Reading& r = GetParam();
  const NumberReading reading = read_number(r.text);
  EXPECT_EQ(r.value, reading.value) << '"' << r.text << '"';
  EXPECT_EQ(r.whole, reading.reached_end) << '"' << r.text << '"';
  EXPECT_EQ(r.whole, is_number_text(r.text)) << '"' << r.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NumberGrammar,
    ::testing::Values(
        Reading{"0", 0, true}, Reading{"39", 39, true}, Reading{"-24", -24, true},
        Reading{"+7", 7, true}, Reading{"0x0a", 10, true}, Reading{"0XfF", 255, true},
        Reading{"-0x1A", -26, true}, Reading{"017", 15, true},
        // Octal stops at the first 8 or 9.
        Reading{"08", 0, false}, Reading{"0179", 15, false},
        // A 0x with no hex digit after it is the number 0 followed by "x".
        Reading{"0x", 0, false}, Reading{"0xg", 0, false},
        // No binary prefix, whatever newer C libraries accept.
        Reading{"0b1", 0, false}, Reading{"0B101", 0, false},
        // Leading white space is skipped, trailing is not.
        Reading{"  12", 12, true}, Reading{"\t\n-3", -3, true}, Reading{"12 ", 12, false},
        // Nothing without digits is a number, the empty text included.
        Reading{"", 0, false}, Reading{" ", 0, false}, Reading{"-", 0, false},
        Reading{"+", 0, false}, Reading{"pic.kla", 0, false}, Reading{"-r", 0, false},
        Reading{"5pic", 5, false}, Reading{"--5", 0, false},
        // Beyond 32 bits the nearest limit.
        Reading{"2147483647", 2147483647, true},
        Reading{"2147483648", 2147483647, true},
        Reading{"-2147483648", -2147483647 - 1, true},
        Reading{"-99999999999999999999999", -2147483647 - 1, true},
        Reading{"0xFFFFFFFFFFFFFFFFFFFF", 2147483647, true}));

TEST(BoundedNumber, InsideTheRangeReturnsTheValue) {
  EXPECT_EQ(39, parse_bounded_number("39", 0, 39));
  EXPECT_EQ(-39, parse_bounded_number("-39", -39, 39));
}

struct Rejection {
  const char* text;
  std::int32_t minimum, maximum;
  const char* message;
};

class BoundedNumberRejects : public ::testing::TestWithParam<Rejection> {};

// The range is checked before the end of the text, so a word of letters is
// "too low" whenever 0 lies below the minimum.
TEST_P(BoundedNumberRejects, WithTheMessageForTheFirstFailedCheck) {
  const Rejection& r = GetParam();
  EXPECT_EXIT(parse_bounded_number(r.text, r.minimum, r.maximum),
              ::testing::ExitedWithCode(1), ::testing::StartsWith(r.message));
}

INSTANTIATE_TEST_SUITE_P(
    Order, BoundedNumberRejects,
    ::testing::Values(
        Rejection{"40", 0, 39, "ERROR: Number (40) too high. [Maximum: 39]"},
        Rejection{"-1", 0, 39, "ERROR: Number (-1) too low. [Minimum: 0]"},
        Rejection{"pic.kla", 0, 39, "ERROR: Not a number (0)."},
        Rejection{"", 0, 39, "ERROR: Not a number (0)."},
        Rejection{"pic.kla", 1, 24, "ERROR: Number (0) too low. [Minimum: 1]"},
        Rejection{"50x", 0, 39, "ERROR: Number (50) too high. [Maximum: 39]"},
        Rejection{"5x", 0, 39, "ERROR: Not a number (5)."},
        Rejection{"08", 0, 39, "ERROR: Not a number (0)."},
        Rejection{"1", 1, 0, "ERROR: Number (1) too high. [Maximum: 0]"},
        Rejection{"9999999999", 0, 39,
                  "ERROR: Number (2147483647) too high. [Maximum: 39]"}));

}  // namespace
}  // namespace bitmosaic
