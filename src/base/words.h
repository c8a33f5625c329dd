// Words compared as users type them and file systems often take them: the
// ASCII letters in either case.
#pragma once

#include <cctype>
#include <string_view>

namespace bitmosaic {

inline bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

inline bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         equal_ignoring_case(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace bitmosaic
