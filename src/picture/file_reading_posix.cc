#include "picture/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <algorithm>

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

}  // namespace

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

LoadResult load_whole_file(const std::string& path, std::size_t limit,
                           std::vector<std::uint8_t>& bytes, std::int64_t* size) {
  struct stat info;
  const int fd = open_regular_file(path, &info);
  if (fd < 0) return LoadResult::unreadable;
  *size = info.st_size;
  if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > limit) {
    ::close(fd);
    return LoadResult::wrong_size;
  }
  bytes.resize(static_cast<std::size_t>(info.st_size));
  const bool complete = read_exactly(fd, bytes);
  ::close(fd);
  return complete ? LoadResult::loaded : LoadResult::unreadable;
}

// Its piece is left uninitialised: only bytes read into it are handed out.
struct FileReading {
  int fd;
  // The piece read last, of which [next, end) is still to be handed out.
  std::uint8_t piece[kReadingPiece];
  std::size_t next = 0, end = 0;
};

namespace {

OpenFile reading_of(int fd) {
  OpenFile reading(new FileReading);
  reading->fd = fd;
  return reading;
}

}  // namespace

void FileReadingCloser::operator()(FileReading* file) const {
  ::close(file->fd);
  delete file;
}

OpenFile open_for_reading(const std::string& path) {
  struct stat info;
  const int fd = open_regular_file(path, &info);
  if (fd < 0) return nullptr;
  return reading_of(fd);
}

OpenedFile open_source_file(const std::string& path) {
  OpenedFile opened;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    opened.status = error == ENOENT || error == ENOTDIR ? OpenStatus::missing
                                                        : OpenStatus::refused;
    opened.reason = std::strerror(error);
    return opened;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    opened.status = OpenStatus::not_regular;
    return opened;
  }
  opened.file = reading_of(fd);
  opened.size = info.st_size;
  opened.status = OpenStatus::opened;
  return opened;
}

std::size_t read_next(FileReading& file, std::span<std::uint8_t> buffer) {
  if (file.next == file.end && buffer.size() >= kReadingPiece) {
    // Large enough to go straight from the system.
    for (;;) {
      const ssize_t got = ::read(file.fd, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) continue;
      return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
  }
  if (file.next == file.end) {
    file.next = file.end = 0;
    for (;;) {
      const ssize_t got = ::read(file.fd, file.piece, sizeof file.piece);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return 0;
      file.end = static_cast<std::size_t>(got);
      break;
    }
  }
  const std::size_t count = std::min(buffer.size(), file.end - file.next);
  std::memcpy(buffer.data(), file.piece + file.next, count);
  file.next += count;
  return count;
}

}  // namespace bitmosaic
