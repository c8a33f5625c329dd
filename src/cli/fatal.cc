#include "cli/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "cli/help_texts.h"

namespace bitmosaic {
namespace {

RunEnder installed_ender = nullptr;

}  // namespace

void set_run_ender(RunEnder ender) { installed_ender = ender; }

void end_run(int status) {
  std::fflush(stdout);
  if (installed_ender != nullptr) installed_ender(status);
  // An ender that returned did not do its job; the process still must end.
  std::exit(status);
}

void die_with_usage(const char* format, ...) {
  std::va_list values;
  va_start(values, format);
  std::vfprintf(stderr, format, values);
  va_end(values);
  std::fflush(stderr);
  std::printf("\n\nUsage:");
  // Errors always show the fixed program name, whatever was typed to start it.
  print_usage("bitmosaic");
  end_run(1);
}

}  // namespace bitmosaic
