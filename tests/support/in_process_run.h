// Whole runs of the program inside the calling process: the same driver as
// the binary, with the run's end turned into a return value.
#pragma once

#include <string>
#include <vector>

namespace bitmosaic::testing {

// Runs the program with `arguments` after the name "bitmosaic" and returns
// the exit status the binary would have ended with.
int run_in_process(const std::vector<std::string>& arguments);

}  // namespace bitmosaic::testing
