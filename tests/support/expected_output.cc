#include "support/expected_output.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace bitmosaic::testing {
namespace {

std::string visible(const std::string& line) {
  std::string shown;
  for (const unsigned char c : line) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      shown += escape;
    }
  }
  return shown;
}

// Line `index` (from 0) of `text` with its line feed, or "(end of text)".
std::string line_of(const std::string& text, std::size_t start) {
  if (start >= text.size()) return "(end of text)";
  const std::size_t end = text.find('\n', start);
  return visible(text.substr(start, end == std::string::npos ? std::string::npos
                                                             : end - start + 1));
}

}  // namespace

std::string expected_output(const std::string& name) {
  std::ifstream in(std::string(BITMOSAIC_EXPECTED_DIR) + "/" + name, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "no expected output file " << name;
    return "";
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

::testing::AssertionResult same_text(const char* expected_expression,
                                     const char* actual_expression,
                                     const std::string& expected,
                                     const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t at = 0; at < expected.size() && at < actual.size(); ++at) {
    if (expected[at] != actual[at]) break;
    if (expected[at] == '\n') {
      ++line;
      line_start = at + 1;
    }
  }
  return ::testing::AssertionFailure()
         << actual_expression << " differs from " << expected_expression << " at line "
         << line << " (" << expected.size() << " bytes expected, " << actual.size()
         << " got)\n  expected: " << line_of(expected, line_start)
         << "\n  actual:   " << line_of(actual, line_start);
}

}  // namespace bitmosaic::testing
