#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <string>

#include "report/terminal_charset.h"

namespace bitmosaic {
namespace {

bool read_locale_codeset_is_utf8() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const std::string codeset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, "C");
  return codeset == "UTF-8" || codeset == "utf8" || codeset == "UTF8";
}

}  // namespace

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

std::optional<TerminalSize> terminal_size(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
    return std::nullopt;
  return TerminalSize{size.ws_col, size.ws_row};
}

void enable_colour_sequences(std::FILE*) {}

bool console_uses_utf8() {
  static const bool utf8 = read_locale_codeset_is_utf8();
  return utf8;
}

}  // namespace bitmosaic
