#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "app/open_result.h"
#include "picture/utf16_win32.h"

namespace bitmosaic {

// The shell opens the file with the application associated with it; no
// command interpreter sees the name, so nothing in it (%VARIABLES%, quotes,
// &) means anything.
bool open_with_viewer(const std::string& path) {
  std::fflush(stdout);
  const std::wstring file = to_utf16(path);
  if (file.empty()) return false;
  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof request;
  request.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  request.lpVerb = L"open";
  request.lpFile = file.c_str();
  request.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&request) != FALSE;
}

}  // namespace bitmosaic
