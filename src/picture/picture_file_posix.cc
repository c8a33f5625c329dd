#include "picture/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

namespace bitmosaic {
namespace {

// Opens `path` for reading only when it is a regular file. O_NONBLOCK keeps
// the open of a FIFO without a writer from hanging before we can look at it.
int open_regular_file(const std::string& path, struct stat* info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool read_exactly(int fd, std::span<std::uint8_t> destination) {
  std::size_t done = 0;
  while (done < destination.size()) {
    const ssize_t got =
        ::read(fd, destination.data() + done, destination.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool write_all(int fd, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

std::string directory_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows a chain of symbolic links to the path that finally receives the
// bytes, so that saving through a link updates its target and keeps the link.
// A path that does not exist (or a dangling link's target) is returned as is.
std::optional<std::string> resolve_links(std::string path) {
  constexpr int kMaxLinkDepth = 40;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::vector<char> target(static_cast<std::size_t>(info.st_size) + 256);
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size())
      return std::nullopt;
    std::string next(target.data(), static_cast<std::size_t>(length));
    path = next.front() == '/' ? next : directory_of(path) + "/" + next;
  }
  return std::nullopt;
}

// Devices and pipes take the bytes directly. O_NONBLOCK makes the open of a
// pipe that nobody reads fail at once (ENXIO) instead of waiting forever;
// once open, the writes block as usual.
bool write_in_place(std::span<const std::uint8_t> data, const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  const bool blocking = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
  const bool written = blocking && write_all(fd, data);
  return (::close(fd) == 0) && written;
}

mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

bool replace_atomically(std::span<const std::uint8_t> data,
                        const std::string& path, mode_t mode) {
  std::string temporary = directory_of(path) + "/.bitmosaic-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0 && write_all(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::size_t file_name_start(const std::string& path) {
  const std::size_t separator = path.find_last_of('/');
  return separator == std::string::npos ? 0 : separator + 1;
}

bool path_exists(const std::string& path) {
  struct stat info;
  const int fd = open_regular_file(path, &info);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

LoadResult load_file_bytes(const std::string& path,
                           std::span<std::uint8_t> destination,
                           std::int64_t* size) {
  struct stat info;
  const int fd = open_regular_file(path, &info);
  if (fd < 0) return LoadResult::unreadable;
  const std::int64_t file_size = info.st_size;
  if (size != nullptr) *size = file_size;
  if (file_size != static_cast<std::int64_t>(destination.size())) {
    ::close(fd);
    return LoadResult::wrong_size;
  }
  const bool complete = read_exactly(fd, destination);
  ::close(fd);
  return complete ? LoadResult::loaded : LoadResult::unreadable;
}

bool save_file_bytes(std::span<const std::uint8_t> data,
                     const std::string& path) {
  const std::optional<std::string> target = resolve_links(path);
  if (!target) return false;
  struct stat info;
  if (::stat(target->c_str(), &info) != 0)
    return errno == ENOENT && replace_atomically(data, *target, default_file_mode());
  if (!S_ISREG(info.st_mode)) return write_in_place(data, *target);
  return replace_atomically(data, *target, info.st_mode & 07777);
}

}  // namespace bitmosaic
