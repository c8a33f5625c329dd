// Where the run's progress lines go: standard output, unless the result
// itself goes there, in which case they go to standard error and the
// result's bytes stay clean.
#pragma once

#include <cstdio>

namespace bitmosaic {

void set_progress_stream(std::FILE* stream);
std::FILE* progress_stream();

void print_progress(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace bitmosaic
