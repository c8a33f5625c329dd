// One run of the program, from the arguments to the exit status.
#pragma once

#include <optional>
#include <string>

namespace bitmosaic {

// The default destination for `source_path`: the path up to the last dot of
// its file name followed by `suffix`, or nothing when the file name has no
// dot. Dots in directory names do not count.
std::optional<std::string> default_destination(const std::string& source_path,
                                               const char* suffix);

// Parses the arguments, loads the pictures, applies the one command, saves
// the result and opens it when asked. Returns the exit status; every error
// ends the process on the spot.
int run_bitmosaic(int argc, char** argv);

}  // namespace bitmosaic
