#include "picture/file_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "picture/file_location_posix.h"

namespace bitmosaic {

std::size_t file_name_start(const std::string& path) {
  const std::size_t separator = path.find_last_of('/');
  return separator == std::string::npos ? 0 : separator + 1;
}

bool name_taken(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

bool is_same_file(const std::string& first, const std::string& second) {
  struct stat one, other;
  return ::stat(first.c_str(), &one) == 0 && ::stat(second.c_str(), &other) == 0 &&
         one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool is_standard_output(const std::string& path) {
  const int location = ::open(path.c_str(), kLocateOnly | O_CLOEXEC);
  if (location < 0) return false;
  struct stat info;
  const bool same = ::fstat(location, &info) == 0 && same_as_standard_output(info);
  ::close(location);
  return same;
}

}  // namespace bitmosaic
