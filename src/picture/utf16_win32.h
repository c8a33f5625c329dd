// UTF-8 at the program's boundary with Windows, whose calls take UTF-16;
// and the system's words for an error. Used by the *_win32.cc files only.
#pragma once

#include <windows.h>

#include <string>

namespace bitmosaic {

// Nothing (an empty string) when `text` is not valid UTF-8.
inline std::wstring to_utf16(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide.data(), length);
  return wide;
}

inline std::string to_utf8(const wchar_t* wide, int length = -1) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
  if (length < 0) text.pop_back();  // the terminating zero
  return text;
}

// The system's text for `error`, without the full stop and line end it
// ends with, so that it reads inside a message like strerror's.
inline std::string error_text(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length > 0 ? to_utf8(buffer, static_cast<int>(length)) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' ||
                           text.back() == ' '))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

}  // namespace bitmosaic
