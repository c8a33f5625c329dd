#include "picture/picture_file.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
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
#include <algorithm>
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

// Opening for the location only: no data is read or written, so a FIFO or a
// device is not opened for I/O, and the file's own permissions do not stand
// in the way. The kernel resolves the path, links and their protections
// (fs.protected_symlinks) included, exactly as for any other program.
#if defined(O_PATH)
constexpr int kLocateOnly = O_PATH;
#else
constexpr int kLocateOnly = O_RDONLY | O_NONBLOCK;
#endif

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

// ---- The temporary file and the signals that may end a save ----

// Every signal whose default action ends the process, but for the ones that
// report a fault of the process itself (SEGV, BUS, FPE, ILL, ABRT, TRAP,
// SYS): those belong to sanitizers, debuggers and the fuzzer. SIGXFSZ is
// ignored while saving instead, so that a write over the file size limit
// fails with EFBIG like any other write. SIGKILL cannot be caught.
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGALRM,   SIGTERM, SIGUSR1,
    SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF,
#if defined(__linux__)
    SIGPOLL, SIGPWR,  SIGSTKFLT,
#endif
};

// The temporary file of the save in progress, for the handler: the folder's
// descriptor and a fixed buffer for the name, since a handler may use only
// async-signal-safe calls.
constexpr char kTemporaryPrefix[] = ".bitmosaic-";
constexpr std::size_t kRandomLetters = 6;
char pending_name[sizeof kTemporaryPrefix + kRandomLetters];
volatile std::sig_atomic_t pending_folder = -1;
volatile std::sig_atomic_t temporary_pending = 0;
// Set when a handler removed the temporary file and the process went on:
// a handler that a host (the fuzzer) installed before returned.
volatile std::sig_atomic_t temporary_removed = 0;

struct sigaction previous_actions[NSIG];
bool replaced_actions[NSIG];

// Removes the temporary file, then hands the signal on to whatever handled
// it before: the default action, which ends the process once this handler
// returns, or the handler of a host.
extern "C" void remove_temporary_and_pass_on(int signal_number, siginfo_t* info,
                                             void* context) {
  const int saved_errno = errno;
  if (temporary_pending != 0) {
    ::unlinkat(pending_folder, pending_name, 0);
    temporary_pending = 0;
    temporary_removed = 1;
  }
  const struct sigaction& before = previous_actions[signal_number];
  if (before.sa_handler == SIG_DFL) {
    ::sigaction(signal_number, &before, nullptr);
    ::raise(signal_number);  // delivered, and fatal, once the handler returns
  } else if (before.sa_handler == SIG_IGN) {
    // Not replaced while ignored; here only if a host ignored it meanwhile.
  } else if ((before.sa_flags & SA_SIGINFO) != 0) {
    before.sa_sigaction(signal_number, info, context);
  } else {
    before.sa_handler(signal_number);
  }
  errno = saved_errno;
}

template <typename Each>
void for_each_ending_signal(Each each) {
  for (const int signal_number : kEndingSignals) each(signal_number);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
    each(signal_number);
#endif
}

sigset_t ending_signals() {
  sigset_t set;
  sigemptyset(&set);
  for_each_ending_signal([&](int signal_number) { sigaddset(&set, signal_number); });
  return set;
}

// Blocks the ending signals, so that the handler and its record of the
// temporary file change together; returns the mask to put back.
sigset_t block_ending_signals() {
  const sigset_t ending = ending_signals();
  sigset_t before;
  ::sigprocmask(SIG_BLOCK, &ending, &before);
  return before;
}

void unblock(const sigset_t& before) { ::sigprocmask(SIG_SETMASK, &before, nullptr); }

// A name no other file in the folder is likely to have; O_EXCL makes sure.
void make_temporary_name(unsigned attempt) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t mixed = static_cast<std::uint64_t>(now.tv_nsec) ^
                        static_cast<std::uint64_t>(now.tv_sec) << 30 ^
                        static_cast<std::uint64_t>(::getpid()) << 40 ^ attempt;
  std::memcpy(pending_name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1);
  for (std::size_t i = 0; i < kRandomLetters; ++i) {
    mixed = (mixed ^ (mixed >> 31)) * 0x9E3779B97F4A7C15ull + i;
    pending_name[sizeof kTemporaryPrefix - 1 + i] = kLetters[(mixed >> 33) % (sizeof kLetters - 1)];
  }
  pending_name[sizeof pending_name - 1] = '\0';
}

// Creates the temporary file in the folder, with the handler in place for
// every ending signal that is not ignored (signals the user chose to ignore,
// as nohup does, stay ignored), so that an interruption at any moment
// removes it again.
int create_temporary(int folder) {
  const sigset_t before = block_ending_signals();
  struct sigaction action {};
  action.sa_sigaction = remove_temporary_and_pass_on;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  for_each_ending_signal([&](int signal_number) {
    ::sigaction(signal_number, nullptr, &previous_actions[signal_number]);
    const bool ignored = previous_actions[signal_number].sa_handler == SIG_IGN;
    replaced_actions[signal_number] =
        !ignored && ::sigaction(signal_number, &action, nullptr) == 0;
  });
  temporary_removed = 0;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    make_temporary_name(attempt);
    fd = ::openat(folder, pending_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  const int error = errno;
  pending_folder = folder;
  temporary_pending = fd >= 0 ? 1 : 0;
  unblock(before);
  errno = error;
  return fd;
}

// Gives the temporary file the destination's name, unless an interruption
// removed it first.
int rename_temporary(int folder, const std::string& name) {
  const sigset_t before = block_ending_signals();
  int error = 0;
  if (temporary_pending == 0)
    error = EINTR;
  else if (::renameat(folder, pending_name, folder, name.c_str()) != 0)
    error = errno;
  else
    temporary_pending = 0;
  unblock(before);
  return error;
}

void release_temporary(int folder) {
  const sigset_t before = block_ending_signals();
  if (temporary_pending != 0) ::unlinkat(folder, pending_name, 0);
  temporary_pending = 0;
  pending_folder = -1;
  for_each_ending_signal([&](int signal_number) {
    if (replaced_actions[signal_number])
      ::sigaction(signal_number, &previous_actions[signal_number], nullptr);
    replaced_actions[signal_number] = false;
  });
  unblock(before);
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
  const std::string created = pending_name;
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
    if (result.written || temporary_removed == 0) break;
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

bool same_as_standard_output(const struct stat& info) {
  struct stat out;
  return ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == info.st_dev &&
         out.st_ino == info.st_ino;
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
