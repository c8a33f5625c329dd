#include "cli/fatal.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/help_texts.h"

namespace bitmosaic {
namespace {

RunEnder installed_ender = nullptr;
bool standard_output_closed = false;

void report_standard_output_error(int error) {
  std::fprintf(stderr, "ERROR: Standard output could not be written (%s).\n",
               std::strerror(error != 0 ? error : EIO));
}

}  // namespace

void set_run_ender(RunEnder ender) { installed_ender = ender; }

void note_standard_output_closed(bool closed) { standard_output_closed = closed; }

int finish_standard_output(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = standard_output_closed ? EBADF : errno;
  if (flushed && !std::ferror(stdout) && !standard_output_closed) return status;
  report_standard_output_error(error);
  std::clearerr(stdout);
  standard_output_closed = false;  // said once
  return 1;
}

void end_run(int status) {
  status = finish_standard_output(status);
  if (installed_ender != nullptr) installed_ender(status);
  // The process ends here: what the close of standard output reports (a
  // file system that fails only then) still counts.
  errno = 0;
  if (std::fclose(stdout) != 0 && status == 0) {
    report_standard_output_error(errno);
    status = 1;
  }
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
