// Hands a saved file to the desktop's opener, without any command
// interpreter seeing the name.
#pragma once

#include <string>

namespace bitmosaic {

// Runs the platform's opener (xdg-open, or open on macOS) with `path` as its
// single argument (a name starting with '-' as "./name") and waits for it.
// False when the opener could not be started or ended with a status other
// than 0.
bool open_with_viewer(const std::string& path);

}  // namespace bitmosaic
