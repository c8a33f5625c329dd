// Reading and writing picture files. These functions print nothing; they
// report through their results and leave every message to the run driver.
// Each platform implements them in its own file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bitmosaic {

// Index of the first character of the file name in `path`: just after its
// last directory separator, or 0.
std::size_t file_name_start(const std::string& path);

// True when `path` names a regular file that can be opened for reading.
// Never blocks: a FIFO or a device is simply not a picture file.
bool path_exists(const std::string& path);

enum class LoadResult {
  loaded,      // every byte of `destination` was filled from the file
  unreadable,  // not a readable regular file, or it ended early
  wrong_size,  // the file's size differs from the destination's
};

// Fills `destination` from the file at `path`. The file's size is taken
// before any byte is read and stored in `*size` as soon as it is known
// (`size` may be null); bytes are read only when that size equals
// destination.size(), so an oversized file costs nothing.
LoadResult load_file_bytes(const std::string& path,
                           std::span<std::uint8_t> destination,
                           std::int64_t* size);

// Writes `data` to `path`; true when every byte reached the file and it was
// closed cleanly. A regular file (or a path that does not exist yet) is
// replaced atomically through a temporary file in the same directory, so a
// failed save leaves any old file whole. A symbolic link is followed and its
// target replaced; a device or pipe is written directly.
bool save_file_bytes(std::span<const std::uint8_t> data,
                     const std::string& path);

}  // namespace bitmosaic
