#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <algorithm>
#include <cstring>

#include "picture/picture_file.h"
#include "picture/utf16_win32.h"

namespace bitmosaic {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

SaveResult failure(DWORD error) { return {false, error_text(error)}; }

// Opens `path` for reading only when it is a file on a disk: not a folder,
// a pipe or a device such as NUL or CON.
HANDLE open_regular_file(const std::string& path) {
  const std::wstring wide = to_utf16(path);
  if (wide.empty()) return INVALID_HANDLE_VALUE;
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

bool read_exactly(HANDLE file, std::span<std::uint8_t> destination) {
  std::size_t done = 0;
  while (done < destination.size()) {
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(destination.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file, destination.data() + done, wanted, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

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

// Writes a new file beside `path` and moves it over the destination in one
// step (MoveFileExW, replacing, write-through). ReplaceFileW would keep more
// of the old file, but when two saves meet it can fail half-way with no file
// left under the destination's name. An existing file's attribute bits
// (hidden, system, archive) are carried over.
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

// Opens whatever `path` names (a folder and a device too) to look at it.
HANDLE open_to_look_at(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool is_standard_output_file(HANDLE file) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  return out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_DISK &&
         same_file(file, out);
}

}  // namespace

std::size_t file_name_start(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

bool path_exists(const std::string& path) {
  HANDLE file = open_regular_file(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool name_taken(const std::string& path) {
  return GetFileAttributesW(to_utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

LoadResult load_file_bytes(const std::string& path, std::span<std::uint8_t> destination,
                           std::int64_t* size) {
  HANDLE file = open_regular_file(path);
  if (file == INVALID_HANDLE_VALUE) return LoadResult::unreadable;
  LARGE_INTEGER file_size;
  if (!GetFileSizeEx(file, &file_size)) {
    CloseHandle(file);
    return LoadResult::unreadable;
  }
  if (size != nullptr) *size = file_size.QuadPart;
  if (file_size.QuadPart != static_cast<std::int64_t>(destination.size())) {
    CloseHandle(file);
    return LoadResult::wrong_size;
  }
  const bool complete = read_exactly(file, destination);
  CloseHandle(file);
  return complete ? LoadResult::loaded : LoadResult::unreadable;
}

LoadResult load_whole_file(const std::string& path, std::size_t limit,
                           std::vector<std::uint8_t>& bytes, std::int64_t* size) {
  HANDLE file = open_regular_file(path);
  if (file == INVALID_HANDLE_VALUE) return LoadResult::unreadable;
  LARGE_INTEGER file_size;
  if (!GetFileSizeEx(file, &file_size)) {
    CloseHandle(file);
    return LoadResult::unreadable;
  }
  *size = file_size.QuadPart;
  if (file_size.QuadPart < 0 || static_cast<std::uint64_t>(file_size.QuadPart) > limit) {
    CloseHandle(file);
    return LoadResult::wrong_size;
  }
  bytes.resize(static_cast<std::size_t>(file_size.QuadPart));
  const bool complete = read_exactly(file, bytes);
  CloseHandle(file);
  return complete ? LoadResult::loaded : LoadResult::unreadable;
}

// Its piece is left uninitialised: only bytes read into it are handed out.
struct FileReading {
  HANDLE handle;
  // The piece read last, of which [next, end) is still to be handed out.
  std::uint8_t piece[kReadingPiece];
  std::size_t next = 0, end = 0;
};

namespace {

OpenFile reading_of(HANDLE file) {
  OpenFile reading(new FileReading);
  reading->handle = file;
  return reading;
}

}  // namespace

void FileReadingCloser::operator()(FileReading* file) const {
  CloseHandle(file->handle);
  delete file;
}

OpenFile open_for_reading(const std::string& path) {
  HANDLE file = open_regular_file(path);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return reading_of(file);
}

OpenedFile open_source_file(const std::string& path) {
  OpenedFile opened;
  const std::wstring wide = to_utf16(path);
  const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = wide.empty() ? ERROR_INVALID_NAME : GetLastError();
    opened.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                        ? OpenStatus::missing
                        : OpenStatus::refused;
    opened.reason = error_text(error);
    return opened;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    opened.status = OpenStatus::not_regular;
    return opened;
  }
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    opened.status = OpenStatus::refused;
    opened.reason = error_text(GetLastError());
    return opened;
  }
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    opened.status = OpenStatus::not_regular;
    return opened;
  }
  opened.file = reading_of(file);
  opened.size = size.QuadPart;
  opened.status = OpenStatus::opened;
  return opened;
}

std::size_t read_next(FileReading& file, std::span<std::uint8_t> buffer) {
  if (file.next == file.end && buffer.size() >= kReadingPiece) {
    // Large enough to go straight from the system.
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file.handle, buffer.data(), wanted, &got, nullptr)) return 0;
    return got;
  }
  if (file.next == file.end) {
    DWORD got = 0;
    file.next = file.end = 0;
    if (!ReadFile(file.handle, file.piece, sizeof file.piece, &got, nullptr) || got == 0)
      return 0;
    file.end = got;
  }
  const std::size_t count = std::min(buffer.size(), file.end - file.next);
  std::memcpy(buffer.data(), file.piece + file.next, count);
  file.next += count;
  return count;
}

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
