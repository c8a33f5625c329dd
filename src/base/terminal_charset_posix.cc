#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

bool read_locale_codeset_is_utf8() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const std::string codeset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, "C");
  return codeset == "UTF-8" || codeset == "utf8" || codeset == "UTF8";
}

// The locale setting that decides the character set, as the C library
// picks it: the first of LC_ALL, LC_CTYPE and LANG that is set and not empty.
std::string_view character_locale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool names_utf8(std::string_view codeset) {
  std::string lower;
  for (const char c : codeset) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "utf-8" || lower == "utf8";
}

}  // namespace

bool preview_uses_utf8() {
  const std::string_view locale = character_locale();
  if (locale.empty() || locale == "C" || locale == "POSIX") return true;
  // language_TERRITORY.codeset@modifier
  const std::size_t dot = locale.find('.');
  if (dot != std::string_view::npos &&
      names_utf8(locale.substr(dot + 1, locale.find('@', dot) - dot - 1)))
    return true;
  return console_uses_utf8();
}

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
