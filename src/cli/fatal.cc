#include "cli/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "cli/help_texts.h"

namespace bitmosaic {

void die_with_usage(const char* format, ...) {
  std::va_list values;
  va_start(values, format);
  std::vfprintf(stderr, format, values);
  va_end(values);
  std::fflush(stderr);
  std::printf("\n\nUsage:");
  // Errors always show the fixed program name, whatever was typed to start it.
  print_usage("bitmosaic");
  std::exit(1);
}

}  // namespace bitmosaic
