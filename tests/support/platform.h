// What a test can count on where it runs. Tests of POSIX behaviour (FIFOs,
// symbolic links, file size limits, mode bits, users, /dev files, pseudo-
// terminals) skip themselves on Windows and say why.
#pragma once

#include <gtest/gtest.h>

#if defined(_WIN32)
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "needs a POSIX system: " << (reason)
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace bitmosaic::testing {

// Makes a FIFO at `path`; false where the system has none (Windows).
inline bool make_fifo(const std::string& path) {
#if defined(_WIN32)
  (void)path;
  return false;
#else
  return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

}  // namespace bitmosaic::testing
