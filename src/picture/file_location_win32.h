// Opening whatever a path names just to look at it, and telling one file
// from another and from the run's standard output: the reading, the save
// and the looks at paths all start from here. Used by the *_win32.cc files
// only.
#pragma once

#include <windows.h>

#include <string>

namespace bitmosaic {

// Others may read, write, rename and delete a file while the run has it
// open, as they may while no program has.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens whatever `path` names (a folder and a device too) to look at it.
inline HANDLE open_to_look_at(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

inline bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

inline bool is_standard_output_file(HANDLE file) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  return out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_DISK &&
         same_file(file, out);
}

}  // namespace bitmosaic
