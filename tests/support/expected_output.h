// The long outputs that the end-to-end tests expect, kept as plain files in
// tests/e2e/expected, and a comparison that shows where a text first differs.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace bitmosaic::testing {

// The bytes of tests/e2e/expected/<name>; a missing file fails the test and
// gives "".
std::string expected_output(const std::string& name);

// Success when the texts are equal byte for byte; otherwise a failure that
// names the first differing line and shows both versions of it, with
// control and non-ASCII bytes escaped.
::testing::AssertionResult same_text(const char* expected_expression,
                                     const char* actual_expression,
                                     const std::string& expected,
                                     const std::string& actual);

}  // namespace bitmosaic::testing

#define EXPECT_SAME_TEXT(expected, actual) \
  EXPECT_PRED_FORMAT2(::bitmosaic::testing::same_text, expected, actual)
