// Running the tool on POSIX systems: fork, exec and pipes.
#include "support/run_tool.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace bitmosaic::testing {
namespace {

void drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

}  // namespace


std::string binary_path() { return BITMOSAIC_BINARY; }

namespace {

// In the child: everything run_tool promises about the environment, then exec.
[[noreturn]] void become_tool(std::vector<std::string> words, const ToolOptions& options,
                              int out_fd, int err_fd) {
  ::dup2(out_fd, 1);
  ::dup2(err_fd, 2);
  if (options.standard_output) {
    ::close(1);
    if (!options.standard_output->empty() &&
        ::open(options.standard_output->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) != 1)
      _exit(126);
  }
  const int no_input = ::open("/dev/null", O_RDONLY);
  ::dup2(no_input, 0);
  if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0) _exit(126);
  ::setenv("LC_ALL", "C", 1);
  ::unsetenv("bitmosaic");
  // In sanitizer builds a report must not pass for the tool's own status 1.
  ::setenv("ASAN_OPTIONS", "exitcode=86", 0);
  ::setenv("UBSAN_OPTIONS", "exitcode=86:print_stacktrace=1", 0);
  for (const auto& [name, value] : options.environment) {
    if (value)
      ::setenv(name.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name.c_str());
  }
  if (options.file_size_limit) {
    const rlimit limit{static_cast<rlim_t>(*options.file_size_limit),
                       static_cast<rlim_t>(*options.file_size_limit)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (options.cpu_limit_seconds) {
    const rlimit limit{*options.cpu_limit_seconds, *options.cpu_limit_seconds};
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CPU, &limit);
    ::setrlimit(RLIMIT_CORE, &no_core);
  }
  if (options.without_privileges && ::geteuid() == 0) {
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
      _exit(kCouldNotDropPrivileges);
  }
  // A pending alarm survives exec: a run that hangs is killed by SIGALRM.
  ::alarm(options.time_limit_seconds);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string binary = options.runner.empty() ? binary_path() : options.runner[0];
  ::execvp(binary.c_str(), argv.data());
  // An unprivileged child may be unable to reach a binary inside root's home.
  _exit(options.without_privileges ? kCouldNotDropPrivileges : 127);
}

pid_t fork_tool(const std::vector<std::string>& arguments, const ToolOptions& options,
                int out_fd, int err_fd) {
  std::vector<std::string> words = options.runner;
  if (!words.empty()) words.push_back(binary_path());
  if (words.empty()) words.push_back(options.argv0.value_or(binary_path()));
  words.insert(words.end(), arguments.begin(), arguments.end());
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    become_tool(std::move(words), options, out_fd, err_fd);
  }
  return child;
}

}  // namespace

namespace {

// Runs the tool with standard output and error on a pseudo-terminal.
ToolResult run_on_terminal(const std::vector<std::string>& arguments,
                           const ToolOptions& options) {
  int terminal = -1;
  int device = -1;
  if (::openpty(&terminal, &device, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
  const pid_t child = fork_tool(arguments, options, device, device);
  ::close(device);
  ToolResult result;
  char buffer[4096];
  for (;;) {  // the read fails (EIO) once the tool has closed the terminal
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(terminal);
  result.status = wait_tool(child);
  return result;
}

}  // namespace

ToolResult run_tool(const std::vector<std::string>& arguments,
                    const ToolOptions& options) {
  if (options.on_terminal) return run_on_terminal(arguments, options);
  int out_pipe[2];
  int err_pipe[2];
  // Close-on-exec keeps the read ends out of the tool; dup2 clears the flag
  // on the write ends it receives as its standard output and error.
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  const pid_t child = fork_tool(arguments, options, out_pipe[1], err_pipe[1]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  ToolResult result;
  drain(out_pipe[0], err_pipe[0], result.out, result.err);
  result.status = wait_tool(child);
  return result;
}

pid_t start_tool(const std::vector<std::string>& arguments, const ToolOptions& options) {
  const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t child = fork_tool(arguments, options, quiet, quiet);
  ::close(quiet);
  return child;
}

int wait_tool_signal(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

int wait_tool(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace bitmosaic::testing
