// Hands a saved file to the desktop's opener, without any command
// interpreter seeing the name.
#pragma once

#include <string>

namespace bitmosaic {

// Runs the platform's opener (xdg-open, or open on macOS) with `path` as its
// single argument and waits for it. False when the opener could not be
// started at all; what it does with the file is its own business.
bool open_with_viewer(const std::string& path);

}  // namespace bitmosaic
