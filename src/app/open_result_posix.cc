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
  std::string argument = path;
  char* arguments[] = {opener_name.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, opener, nullptr, nullptr, arguments, environ) != 0)
    return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace bitmosaic
