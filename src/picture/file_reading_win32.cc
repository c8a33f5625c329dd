#include <windows.h>

#include <algorithm>
#include <cstring>

#include "picture/file_reading.h"
#include "picture/file_location_win32.h"
#include "picture/utf16_win32.h"

namespace bitmosaic {
namespace {

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

}  // namespace

bool path_exists(const std::string& path) {
  HANDLE file = open_regular_file(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
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

}  // namespace bitmosaic
