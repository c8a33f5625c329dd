// The one way a run ends in error: message on standard error, usage on
// standard output, exit status 1.
#pragma once

namespace bitmosaic {

// Prints the formatted message to standard error exactly as given (no line
// feed is added), then "\n\nUsage:" and the usage for the name "bitmosaic"
// to standard output, and exits with status 1.
[[noreturn]] void die_with_usage(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

}  // namespace bitmosaic
