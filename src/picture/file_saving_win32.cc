#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <algorithm>
#include <cstring>

#include "picture/file_saving.h"
#include "picture/file_location_win32.h"
#include "picture/utf16_win32.h"

namespace bitmosaic {
namespace {

SaveResult failure(DWORD error) { return {false, error_text(error)}; }

bool write_all(HANDLE file, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(file, data.data() + done, wanted, &put, nullptr)) return false;
    if (put == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += put;
  }
  return true;
}

// Devices (NUL, CON), pipes and the run's own standard output take the
// bytes directly.
SaveResult write_in_place(std::span<const std::uint8_t> data, const std::wstring& path,
                          DWORD disposition) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failure(GetLastError());
  const bool written = write_all(file, data);
  const DWORD error = written ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  return written ? SaveResult{true, {}} : failure(error);
}

// The temporary file of the save in progress, for the console's Ctrl-C and
// close events, which arrive on a thread of their own.
wchar_t pending_temporary[32768];
volatile LONG temporary_pending = 0;

BOOL WINAPI remove_temporary(DWORD) {
  if (temporary_pending != 0) DeleteFileW(pending_temporary);
  return FALSE;  // the default handler then ends the process
}

// Another program that has the destination open (a viewer, a virus
// scanner) blocks the move for a moment; it is tried again for about a
// second before the save fails.
bool is_held_open(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

// The full path of `path`, so that the temporary file's folder is certain.
std::wstring full_path(const std::wstring& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return path;
  full.resize(written);
  return full;
}

// Writes a new file beside `path` and moves it over the destination in one
// step (MoveFileExW, replacing, write-through). ReplaceFileW would keep more
// of the old file, but when two saves meet it can fail half-way with no file
// left under the destination's name. An existing file's attribute bits
// (hidden, system, archive) are carried over.
SaveResult replace_file(std::span<const std::uint8_t> data, const std::wstring& given,
                        DWORD old_attributes) {
  const std::wstring path = full_path(given);
  const std::size_t name_start = path.find_last_of(L"/\\:");
  const std::wstring prefix =
      name_start == std::wstring::npos ? L"" : path.substr(0, name_start + 1);
  HANDLE file = INVALID_HANDLE_VALUE;
  std::wstring temporary;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    wchar_t suffix[40];
    std::swprintf(suffix, 40, L".bitmosaic-%08lx%04x",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned>((now.LowPart + attempt * 7919u) & 0xFFFF));
    temporary = prefix + suffix;
    if (temporary.size() >= std::size(pending_temporary))
      return failure(ERROR_FILENAME_EXCED_RANGE);
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) return failure(GetLastError());
  std::wmemcpy(pending_temporary, temporary.c_str(), temporary.size() + 1);
  InterlockedExchange(&temporary_pending, 1);
  SetConsoleCtrlHandler(remove_temporary, TRUE);

  DWORD error = ERROR_SUCCESS;
  if (!write_all(file, data) || !FlushFileBuffers(file)) error = GetLastError();
  CloseHandle(file);
  if (error == ERROR_SUCCESS && old_attributes != 0)
    SetFileAttributesW(temporary.c_str(), old_attributes);
  for (int attempt = 0; error == ERROR_SUCCESS; ++attempt) {
    if (MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    error = GetLastError();
    if (!is_held_open(error) || attempt == 20) break;
    error = ERROR_SUCCESS;
    Sleep(50);
  }
  if (error != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
  InterlockedExchange(&temporary_pending, 0);
  SetConsoleCtrlHandler(remove_temporary, FALSE);
  return error == ERROR_SUCCESS ? SaveResult{true, {}} : failure(error);
}

}  // namespace

SaveResult save_file_bytes(std::span<const std::uint8_t> data, const std::string& path) {
  const std::wstring wide = to_utf16(path);
  if (wide.empty()) return failure(ERROR_INVALID_NAME);
  HANDLE existing = open_to_look_at(wide);
  if (existing == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return failure(error);
    return replace_file(data, wide, 0);
  }
  const DWORD type = GetFileType(existing);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(existing, &info) != 0;
  const bool own_output = type == FILE_TYPE_DISK && is_standard_output_file(existing);
  CloseHandle(existing);
  if (type != FILE_TYPE_DISK) return write_in_place(data, wide, OPEN_EXISTING);
  if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return failure(ERROR_DIRECTORY);
  // A read-only file is refused, as Windows' own tools refuse to replace it.
  if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
    return failure(ERROR_ACCESS_DENIED);
  if (own_output) return write_in_place(data, wide, TRUNCATE_EXISTING);
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return replace_file(data, wide, known ? info.dwFileAttributes & kKept : 0);
}

}  // namespace bitmosaic
