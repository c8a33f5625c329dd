// The text of a message, formatted printf-style, whatever its length: a
// file name in it may be as long as the system allows.
#pragma once

#include <string>

namespace bitmosaic {

// MinGW's C++ library formats with its own C99 printf, not the system's:
// the compiler checks the formats by the same rules.
#if defined(__MINGW32__)
std::string formatted(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

}  // namespace bitmosaic
