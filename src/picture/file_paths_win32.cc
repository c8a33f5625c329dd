#include <windows.h>

#include "picture/file_paths.h"
#include "picture/file_location_win32.h"
#include "picture/utf16_win32.h"

namespace bitmosaic {

std::size_t file_name_start(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

bool name_taken(const std::string& path) {
  return GetFileAttributesW(to_utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_same_file(const std::string& first, const std::string& second) {
  const std::wstring one = to_utf16(first), other = to_utf16(second);
  if (one.empty() || other.empty()) return false;
  HANDLE a = open_to_look_at(one);
  if (a == INVALID_HANDLE_VALUE) return false;
  HANDLE b = open_to_look_at(other);
  const bool same = b != INVALID_HANDLE_VALUE && same_file(a, b);
  if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
  CloseHandle(a);
  return same;
}

bool is_standard_output(const std::string& path) {
  const std::wstring wide = to_utf16(path);
  if (wide.empty()) return false;
  HANDLE file = open_to_look_at(wide);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool same = is_standard_output_file(file);
  CloseHandle(file);
  return same;
}

}  // namespace bitmosaic
