#include "app/open_result.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace bitmosaic {

bool open_with_viewer(const std::string& path) {
  std::fflush(stdout);
#if defined(__APPLE__)
  const char* opener = "open";
#else
  const char* opener = "xdg-open";
#endif
  std::string opener_name = opener;
  // A name that starts with '-' would reach the opener as an option.
  std::string argument = path.starts_with('-') ? "./" + path : path;
  char* arguments[] = {opener_name.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, opener, nullptr, nullptr, arguments, environ) != 0)
    return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  // An opener that found no application for the file says so by its status.
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bitmosaic
