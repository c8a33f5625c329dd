#include "picture/file_saving.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
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
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "picture/file_location_posix.h"
#include "picture/file_paths.h"
#include "picture/temporary_file_posix.h"

namespace bitmosaic {
namespace {

// Writes everything, waiting where the descriptor was left non-blocking by
// whoever shares it (standard output may be).
bool write_all(int fd, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd writable{fd, POLLOUT, 0};
      ::poll(&writable, 1, -1);
      continue;
    }
    if (put == 0) errno = EIO;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

SaveResult failure(int error) { return {false, std::strerror(error)}; }

// A path that opens what `fd` locates, without resolving any name again.
std::string reopen_path(int fd, const std::string& path) {
#if defined(__linux__)
  (void)path;
  return "/proc/self/fd/" + std::to_string(fd);
#else
  return path;
#endif
}

// The path with every link resolved, as the kernel found `fd`. Only a
// destination reached through a link needs it.
std::optional<std::string> real_path_of(int fd) {
#if defined(__APPLE__)
  char buffer[MAXPATHLEN];
  if (::fcntl(fd, F_GETPATH, buffer) != 0) return std::nullopt;
  return std::string(buffer);
#else
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length =
      ::readlink(reopen_path(fd, {}).c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
    if (length >= 0) errno = ENAMETOOLONG;
    return std::nullopt;
  }
  if (buffer[0] != '/') {  // pipe:[N], socket:[N]: not a place in the file system
    errno = EINVAL;
    return std::nullopt;
  }
  return std::string(buffer.data(), static_cast<std::size_t>(length));
#endif
}

mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// ---- Replacing a file through a temporary one ----

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
  // Where even that is refused, the mode bits below make up for it.
  if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
  }
  struct stat now;
  if (::fstat(fd, &now) != 0) now.st_uid = now.st_gid = static_cast<uid_t>(-1);
  if (now.st_uid != old.st_uid) mode &= ~mode_t{S_ISUID};
  if (now.st_gid != old.st_gid) mode = group_as_others(mode & ~mode_t{S_ISGID});
  return mode;
}

#if defined(__linux__)
constexpr const char* kAccessAcl = "system.posix_acl_access";

// Copies the extended attributes of the old file, found through its
// descriptor, onto `fd`; ACLs are attributes too. Attributes this user may
// not read or set, or that the file system does not keep, are left behind:
// the mode bits then apply. False when the old file's access ACL could not
// be carried over.
bool copy_attributes(int old_fd, int fd) {
  const std::string old = reopen_path(old_fd, {});
  const ssize_t listed = ::listxattr(old.c_str(), nullptr, 0);
  if (listed <= 0) return true;
  std::vector<char> names(static_cast<std::size_t>(listed));
  const ssize_t length = ::listxattr(old.c_str(), names.data(), names.size());
  if (length <= 0) return true;
  bool acl_kept = true;
  for (std::size_t at = 0; at < static_cast<std::size_t>(length);) {
    const char* name = &names[at];
    at += std::strlen(name) + 1;
    const ssize_t size = ::getxattr(old.c_str(), name, nullptr, 0);
    std::vector<char> value(size > 0 ? static_cast<std::size_t>(size) : 0);
    const ssize_t got = size < 0 ? -1 : ::getxattr(old.c_str(), name, value.data(), value.size());
    const bool copied =
        got >= 0 && ::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(got), 0) == 0;
    if (!copied && std::strcmp(name, kAccessAcl) == 0) acl_kept = false;
  }
  return acl_kept;
}
#else
bool copy_attributes(int, int) { return true; }
#endif

// Where a file is replaced: its folder's descriptor and its name there, so
// that no full path is needed, however deep the folder lies.
struct Place {
  int folder = -1;
  std::string name;
};

// The folder part of `path` opened for the location, and the name after it.
std::optional<Place> open_place(const std::string& path) {
  const std::size_t name_start = file_name_start(path);
  Place place;
  place.name = path.substr(name_start);
  if (place.name.empty()) {
    errno = ENOENT;
    return std::nullopt;
  }
  const std::string folder = name_start == 0 ? "." : path.substr(0, name_start);
  place.folder = ::open(folder.c_str(), kLocateOnly | O_DIRECTORY | O_CLOEXEC);
  if (place.folder < 0) return std::nullopt;
  return place;
}

// True when the name in the folder is the file itself, not a link to it.
bool names_the_file(const Place& place, const struct stat& file) {
  struct stat named;
  return ::fstatat(place.folder, place.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == file.st_dev && named.st_ino == file.st_ino;
}

// One attempt at writing `data` to a new file in the place and renaming it
// over the name. With an `old` file (open as `old_fd`), its owner, group,
// mode and attributes are carried over.
SaveResult write_replacement_once(std::span<const std::uint8_t> data, const Place& place,
                                  int old_fd, const struct stat* old) {
  const int fd = create_temporary(place.folder);
  if (fd < 0) {
    const int error = errno;
    release_temporary(place.folder);
    return failure(error);
  }
  // The name as created, for removing the file after a failure: the
  // record the handler works from may have changed by then.
  const std::string created = temporary_name();
  int error = 0;
  // The bytes first: a write by anyone but root clears set-ID bits, so the
  // ownership and mode decided below are the ones that stay.
  if (!write_all(fd, data)) error = errno;
  mode_t mode = old != nullptr ? (old->st_mode & 07777) : default_file_mode();
  if (error == 0 && old != nullptr) mode = keep_ownership(fd, *old, mode);
  // The mode before the attributes: an ACL set afterwards brings its own mask.
  if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && old != nullptr && !copy_attributes(old_fd, fd)) {
    // Without the ACL the group bits would be its mask, which can grant the
    // owning group more than the ACL did.
    if (::fchmod(fd, group_as_others(mode)) != 0) error = errno;
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) error = rename_temporary(place.folder, place.name);
  release_temporary(place.folder);
  if (error != 0) ::unlinkat(place.folder, created.c_str(), 0);
  return error != 0 ? failure(error) : SaveResult{true, {}};
}

// Writes through a temporary file. A host's handler that returned after an
// interruption removed the temporary file leaves the save to start again; a
// save interrupted every time fails as interrupted (EINTR).
SaveResult write_replacement(std::span<const std::uint8_t> data, const Place& place,
                             int old_fd, const struct stat* old) {
  constexpr int kAttempts = 3;
  SaveResult result;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    result = write_replacement_once(data, place, old_fd, old);
    if (result.written || !temporary_removed_by_signal()) break;
  }
  return result;
}

// A name that does not exist yet: the kernel resolves the folder it goes in.
SaveResult create_new(std::span<const std::uint8_t> data, const std::string& path) {
  const std::optional<Place> place = open_place(path);
  if (!place) return failure(errno);
  const SaveResult result = write_replacement(data, *place, -1, nullptr);
  ::close(place->folder);
  return result;
}

// The place of the regular file that `path` led to: the path's own folder
// and name when they name the file, else (a link) the folder and name of
// the file's real path. Nothing when the file was replaced meanwhile.
std::optional<Place> place_of_file(const std::string& path, int location,
                                   const struct stat& file) {
  std::optional<Place> place = open_place(path);
  if (place && names_the_file(*place, file)) return place;
  if (place) ::close(place->folder);
  const std::optional<std::string> real = real_path_of(location);
  if (!real) return std::nullopt;
  place = open_place(*real);
  if (place && names_the_file(*place, file)) return place;
  if (place) ::close(place->folder);
  errno = EAGAIN;
  return std::nullopt;
}

// An existing regular file is replaced only when this user may write it, as
// cp decides: the kernel answers with the effective ids, so root may.
SaveResult replace_file(std::span<const std::uint8_t> data, const Place& place, int location,
                        const struct stat& file) {
  if (::faccessat(place.folder, place.name.c_str(), W_OK, AT_EACCESS) != 0)
    return failure(errno);
  return write_replacement(data, place, location, &file);
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

// The run's own standard output takes the bytes through descriptor 1, at
// its offset and in its mode: `>>` appends, and what the shell writes after
// the run follows the picture instead of overwriting it.
SaveResult write_to_standard_output(std::span<const std::uint8_t> data) {
  std::fflush(stdout);
  return write_all(STDOUT_FILENO, data) ? SaveResult{true, {}} : failure(errno);
}

// Saves to what the kernel finds at `path`. Another run may rename a new
// file over the destination between the look at it and the look at its
// folder; the path is then looked at again.
SaveResult save_to(std::span<const std::uint8_t> data, const std::string& path) {
  constexpr int kAttempts = 16;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int location = ::open(path.c_str(), kLocateOnly | O_CLOEXEC);
    if (location < 0) {
      const int error = errno;
      struct stat link;
      if (error != ENOENT) return failure(error);
      // A link that leads nowhere is refused, as cp refuses it: writing
      // would create a file wherever the link's owner chose.
      if (::lstat(path.c_str(), &link) == 0) return failure(ENOENT);
      return create_new(data, path);
    }
    struct stat file;
    if (::fstat(location, &file) != 0) {
      const int error = errno;
      ::close(location);
      return failure(error);
    }
    std::optional<SaveResult> result;
    if (same_as_standard_output(file)) {
      result = write_to_standard_output(data);
    } else if (!S_ISREG(file.st_mode)) {
      result = write_in_place(data, location, path);
    } else if (const std::optional<Place> place = place_of_file(path, location, file)) {
      result = replace_file(data, *place, location, file);
      ::close(place->folder);
    } else if (errno != EAGAIN) {
      result = failure(errno);
    }
    ::close(location);
    if (result) return *result;
  }
  return failure(EAGAIN);
}

}  // namespace

SaveResult save_file_bytes(std::span<const std::uint8_t> data, const std::string& path) {
  if (path.empty()) return failure(ENOENT);
  // Over the file size limit a write fails with EFBIG, reported like any
  // other failed write, instead of the signal ending the run.
  struct sigaction file_size_signal {};
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, &file_size_signal);
  const SaveResult result = save_to(data, path);
  ::sigaction(SIGXFSZ, &file_size_signal, nullptr);
  return result;
}

}  // namespace bitmosaic
