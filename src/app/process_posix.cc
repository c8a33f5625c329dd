#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "app/process.h"

namespace bitmosaic {

char** utf8_arguments(int, char** argv) { return argv; }

bool prepare_standard_streams() {
  bool output_closed = false;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one, as the ones below are open.
    if (::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) continue;
    if (fd == STDOUT_FILENO) output_closed = true;
  }
  return output_closed;
}

}  // namespace bitmosaic
