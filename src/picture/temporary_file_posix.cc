#include "picture/temporary_file_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>

namespace bitmosaic {
namespace {

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

}  // namespace

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

const char* temporary_name() { return pending_name; }

bool temporary_removed_by_signal() { return temporary_removed != 0; }

}  // namespace bitmosaic
