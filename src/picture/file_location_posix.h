// Finding what a path leads to without opening it for reading or writing,
// and telling the run's standard output among what is found: the save and
// the looks at paths both start from here. Used by the *_posix.cc files
// only.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bitmosaic {

// Opening for the location only: no data is read or written, so a FIFO or a
// device is not opened for I/O, and the file's own permissions do not stand
// in the way. The kernel resolves the path, links and their protections
// (fs.protected_symlinks) included, exactly as for any other program.
#if defined(O_PATH)
inline constexpr int kLocateOnly = O_PATH;
#else
inline constexpr int kLocateOnly = O_RDONLY | O_NONBLOCK;
#endif

// True when `info` is the file, pipe or terminal standard output writes to.
inline bool same_as_standard_output(const struct stat& info) {
  struct stat out;
  return ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == info.st_dev &&
         out.st_ino == info.st_ino;
}

}  // namespace bitmosaic
