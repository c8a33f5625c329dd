#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/process.h"
#include "picture/utf16_win32.h"

namespace bitmosaic {

char** utf8_arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return argv;
  }
  static std::vector<std::string> arguments;
  static std::vector<char*> pointers;
  arguments.clear();
  for (int i = 0; i < count; ++i) arguments.push_back(to_utf8(wide[i]));
  LocalFree(wide);
  pointers.clear();
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return pointers.data();
}

bool prepare_standard_streams() {
  bool output_closed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    const int null_device = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null_device < 0) continue;
    _dup2(null_device, fd);
    if (null_device != fd) _close(null_device);
    if (fd == 1) output_closed = true;
  }
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return output_closed;
}

}  // namespace bitmosaic
