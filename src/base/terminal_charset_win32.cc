#include <windows.h>
#include <io.h>

#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

HANDLE handle_of(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

// Code pages 437 and 850 hold the report's glyph bytes at the same places;
// 65001 is UTF-8. Any other code page gets the code page 437 bytes.
bool console_uses_utf8() { return GetConsoleOutputCP() == CP_UTF8; }

bool preview_uses_utf8() { return console_uses_utf8(); }

// A console, not a file, pipe or NUL (which the C library also calls a tty).
bool is_terminal(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(handle_of(stream), &mode) != 0;
}

std::optional<TerminalSize> terminal_size(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(handle_of(stream), &info)) return std::nullopt;
  return TerminalSize{info.srWindow.Right - info.srWindow.Left + 1,
                      info.srWindow.Bottom - info.srWindow.Top + 1};
}

void enable_colour_sequences(std::FILE* stream) {
  HANDLE console = handle_of(stream);
  DWORD mode = 0;
  if (GetConsoleMode(console, &mode))
    SetConsoleMode(console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace bitmosaic
