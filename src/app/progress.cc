#include "app/progress.h"

#include <cstdarg>

namespace bitmosaic {
namespace {

std::FILE* stream = nullptr;  // nullptr: standard output

}  // namespace

void set_progress_stream(std::FILE* to) { stream = to; }

std::FILE* progress_stream() { return stream != nullptr ? stream : stdout; }

void print_progress(const char* format, ...) {
  std::va_list values;
  va_start(values, format);
  std::vfprintf(progress_stream(), format, values);
  va_end(values);
}

}  // namespace bitmosaic
