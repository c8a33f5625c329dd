// What a path names, looked at without reading or writing it: where its
// file name starts, whether anything stands under it, and which file it
// leads to. The run driver names its source and destination with these.
// Each platform implements them in its own file.
#pragma once

#include <cstddef>
#include <string>

namespace bitmosaic {

// Index of the first character of the file name in `path`: just after its
// last directory separator, or 0.
std::size_t file_name_start(const std::string& path);

// True when anything at all stands under `path`: a file, a folder, a
// device, or a link, even one that leads nowhere.
bool name_taken(const std::string& path);

// True when `first` and `second` lead to the same existing file as the
// system sees it (the same device and inode, links followed; on Windows the
// same volume and file index), whatever their spelling.
bool is_same_file(const std::string& first, const std::string& second);

// True when `path` leads to the very file, pipe or terminal that standard
// output writes to (for example /dev/stdout), so that the run keeps its
// progress lines off it.
bool is_standard_output(const std::string& path);

}  // namespace bitmosaic
