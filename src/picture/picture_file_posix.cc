#include "picture/picture_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#if defined(__APPLE__)
#include <sys/param.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
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
    if (put == 0) errno = EIO;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

SaveResult failure(int error) { return {false, std::strerror(error)}; }

// Opening for the location only: no data is read or written, so a FIFO or a
// device is not opened for I/O, and the file's own permissions do not stand
// in the way. The kernel resolves the path, links and their protections
// (fs.protected_symlinks) included, exactly as for any other program.
#if defined(O_PATH)
constexpr int kLocateOnly = O_PATH;
#else
constexpr int kLocateOnly = O_RDONLY | O_NONBLOCK;
#endif

// The path with every link resolved, as the kernel found `fd`.
std::optional<std::string> real_path_of(int fd) {
#if defined(__APPLE__)
  char buffer[MAXPATHLEN];
  if (::fcntl(fd, F_GETPATH, buffer) != 0) return std::nullopt;
  return std::string(buffer);
#else
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  if (buffer[0] != '/') {  // pipe:[N], socket:[N]: not a place in the file system
    errno = EINVAL;
    return std::nullopt;
  }
  return std::string(buffer.data(), static_cast<std::size_t>(length));
#endif
}

// A path that opens what `fd` locates, without resolving any name again.
std::string reopen_path(int fd, const std::string& path) {
#if defined(__linux__)
  (void)path;
  return "/proc/self/fd/" + std::to_string(fd);
#else
  return path;
#endif
}

std::string folder_of(const std::string& real_path) {
  const std::size_t slash = real_path.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? "/" : real_path.substr(0, slash);
}

mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// The temporary file of the save in progress, for the interruption handler:
// a fixed buffer, since the handler may use only async-signal-safe calls.
char pending_temporary[PATH_MAX + 32];
volatile std::sig_atomic_t temporary_pending = 0;

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};
using PreviousActions = struct sigaction[std::size(kInterruptions)];

extern "C" void remove_temporary_and_die(int signal_number) {
  if (temporary_pending != 0) ::unlink(pending_temporary);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // delivered, and fatal, once the handler returns
}

sigset_t interruption_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : kInterruptions) sigaddset(&set, signal_number);
  return set;
}

// Creates the temporary file in `folder` so that an interruption at any
// moment removes it again; signals the user chose to ignore stay ignored.
int create_temporary(const std::string& folder, PreviousActions& previous) {
  const std::string pattern = folder + "/.bitmosaic-XXXXXX";
  if (pattern.size() >= sizeof pending_temporary) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const sigset_t interruptions = interruption_set();
  sigset_t before;
  ::sigprocmask(SIG_BLOCK, &interruptions, &before);
  struct sigaction action {};
  action.sa_handler = remove_temporary_and_die;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kInterruptions); ++i) {
    ::sigaction(kInterruptions[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) ::sigaction(kInterruptions[i], &action, nullptr);
  }
  std::memcpy(pending_temporary, pattern.c_str(), pattern.size() + 1);
  const int fd = ::mkostemp(pending_temporary, O_CLOEXEC);
  const int error = errno;
  temporary_pending = fd >= 0 ? 1 : 0;
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
  errno = error;
  return fd;
}

void release_temporary(const PreviousActions& previous) {
  const sigset_t interruptions = interruption_set();
  sigset_t before;
  ::sigprocmask(SIG_BLOCK, &interruptions, &before);
  temporary_pending = 0;
  for (std::size_t i = 0; i < std::size(kInterruptions); ++i)
    ::sigaction(kInterruptions[i], &previous[i], nullptr);
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

// The group permission bits of `mode` lowered to what everybody else may:
// for a file whose group is not the old one's, whose members had at least
// the rights of everybody else before.
mode_t group_as_others(mode_t mode) {
  return static_cast<mode_t>((mode & ~mode_t{070}) | ((mode & 07) << 3));
}

// Gives the temporary file the old file's owner and group, or as much of
// that as this user may; returns the permission bits that are then safe.
mode_t keep_ownership(int fd, const struct stat& old, mode_t mode) {
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return mode;
  // Not allowed to give the file away: keep at least the group if possible.
  (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  struct stat now;
  if (::fstat(fd, &now) != 0) now.st_uid = now.st_gid = static_cast<uid_t>(-1);
  if (now.st_uid != old.st_uid) mode &= ~mode_t{S_ISUID};
  if (now.st_gid != old.st_gid) mode = group_as_others(mode & ~mode_t{S_ISGID});
  return mode;
}

#if defined(__linux__)
constexpr const char* kAccessAcl = "system.posix_acl_access";

// Copies the extended attributes of the file at `real_path` onto `fd`; ACLs
// are attributes too. Attributes this user may not read or set, or that the
// file system does not keep, are left behind: the mode bits then apply.
// False when the old file's access ACL could not be carried over.
bool copy_attributes(const std::string& real_path, int fd) {
  const ssize_t listed = ::llistxattr(real_path.c_str(), nullptr, 0);
  if (listed <= 0) return true;
  std::vector<char> names(static_cast<std::size_t>(listed));
  const ssize_t length = ::llistxattr(real_path.c_str(), names.data(), names.size());
  if (length <= 0) return true;
  bool acl_kept = true;
  for (std::size_t at = 0; at < static_cast<std::size_t>(length);) {
    const char* name = &names[at];
    at += std::strlen(name) + 1;
    const ssize_t size = ::lgetxattr(real_path.c_str(), name, nullptr, 0);
    std::vector<char> value(size > 0 ? static_cast<std::size_t>(size) : 0);
    const ssize_t got =
        size < 0 ? -1 : ::lgetxattr(real_path.c_str(), name, value.data(), value.size());
    const bool copied =
        got >= 0 && ::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(got), 0) == 0;
    if (!copied && std::strcmp(name, kAccessAcl) == 0) acl_kept = false;
  }
  return acl_kept;
}
#else
bool copy_attributes(const std::string&, int) { return true; }
#endif

// Writes `data` to a new file in `folder` and renames it to `target`. With
// an `old` file, its owner, group, mode and attributes are carried over.
SaveResult write_replacement(std::span<const std::uint8_t> data, const std::string& folder,
                             const std::string& target, const struct stat* old) {
  PreviousActions previous;
  const int fd = create_temporary(folder, previous);
  if (fd < 0) {
    const int error = errno;
    release_temporary(previous);
    return failure(error);
  }
  int error = 0;
  // The bytes first: a write by anyone but root clears set-ID bits, so the
  // ownership and mode decided below are the ones that stay.
  if (!write_all(fd, data)) error = errno;
  mode_t mode = old != nullptr ? (old->st_mode & 07777) : default_file_mode();
  if (error == 0 && old != nullptr) mode = keep_ownership(fd, *old, mode);
  // The mode before the attributes: an ACL set afterwards brings its own mask.
  if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && old != nullptr && !copy_attributes(target, fd)) {
    // Without the ACL the group bits would be its mask, which can grant the
    // owning group more than the ACL did.
    if (::fchmod(fd, group_as_others(mode)) != 0) error = errno;
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(pending_temporary, target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(pending_temporary);
  release_temporary(previous);
  return error != 0 ? failure(error) : SaveResult{true, {}};
}

// A name that does not exist yet: the kernel resolves the folder it goes in.
SaveResult create_new(std::span<const std::uint8_t> data, const std::string& path) {
  const std::size_t name_start = file_name_start(path);
  const std::string name = path.substr(name_start);
  if (name.empty()) return failure(ENOENT);
  const std::string folder = name_start == 0 ? "." : path.substr(0, name_start);
  const int folder_fd = ::open(folder.c_str(), kLocateOnly | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return failure(errno);
  const std::optional<std::string> real_folder = real_path_of(folder_fd);
  const int error = errno;
  ::close(folder_fd);
  if (!real_folder) return failure(error);
  const std::string target = *real_folder == "/" ? "/" + name : *real_folder + "/" + name;
  return write_replacement(data, *real_folder, target, nullptr);
}

// Devices, pipes and terminals take the bytes directly. O_NONBLOCK makes the
// open of a pipe that nobody reads fail at once (ENXIO) instead of waiting
// forever; once open, the writes block as usual.
SaveResult write_in_place(std::span<const std::uint8_t> data, int location,
                          const std::string& path) {
  const std::string reopen = reopen_path(location, path);
  const int fd = ::open(reopen.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failure(errno);
  int error = 0;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
  if (error == 0 && !write_all(fd, data)) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error != 0 ? failure(error) : SaveResult{true, {}};
}

bool same_as_standard_output(const struct stat& info) {
  struct stat out;
  return ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == info.st_dev &&
         out.st_ino == info.st_ino;
}



// The outcome of finding a save's destination: a located file whose real
// path still names it, or the cause why there is none.
struct Located {
  int fd = -1;
  struct stat info {};
  std::string real_path;  // empty for what is not a file in a folder
  int error = 0;
};

// Resolves `path` through the kernel. Another run may rename a new file over
// the destination between the open and the look at its real path (which
// then names the unlinked file); the path is resolved again until both
// agree.
Located locate(const std::string& path) {
  constexpr int kAttempts = 16;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Located found;
    found.fd = ::open(path.c_str(), kLocateOnly | O_CLOEXEC);
    if (found.fd < 0 || ::fstat(found.fd, &found.info) != 0) {
      found.error = errno;
      if (found.fd >= 0) ::close(found.fd);
      found.fd = -1;
      return found;
    }
    if (!S_ISREG(found.info.st_mode) || same_as_standard_output(found.info)) return found;
    const std::optional<std::string> real = real_path_of(found.fd);
    found.error = errno;
    struct stat now;
    if (real && ::stat(real->c_str(), &now) == 0 && now.st_dev == found.info.st_dev &&
        now.st_ino == found.info.st_ino) {
      found.real_path = *real;
      return found;
    }
    ::close(found.fd);
    if (!real) {
      found.fd = -1;
      return found;
    }
  }
  return Located{-1, {}, {}, EAGAIN};
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

bool name_taken(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
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

SaveResult save_file_bytes(std::span<const std::uint8_t> data, const std::string& path) {
  if (path.empty()) return failure(ENOENT);
  const Located found = locate(path);
  if (found.fd < 0) {
    struct stat link;
    if (found.error != ENOENT) return failure(found.error);
    // A link that leads nowhere is refused, as cp refuses it: writing would
    // create a file wherever the link's owner chose.
    if (::lstat(path.c_str(), &link) == 0) return failure(ENOENT);
    return create_new(data, path);
  }
  const SaveResult result =
      found.real_path.empty()
          ? write_in_place(data, found.fd, path)
          : write_replacement(data, folder_of(found.real_path), found.real_path, &found.info);
  ::close(found.fd);
  return result;
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
