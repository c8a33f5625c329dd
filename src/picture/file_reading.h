// Reading files: a picture whole into its bytes, or an image piece by piece
// for a decoder. These functions print nothing; they report through their
// results and leave every message to the run driver. Each platform
// implements them in its own file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace bitmosaic {

// True when `path` names a regular file that can be opened for reading.
// Never blocks: a FIFO or a device is simply not a picture file.
bool path_exists(const std::string& path);

enum class LoadResult {
  loaded,      // every byte of `destination` was filled from the file
  unreadable,  // not a readable regular file, or it ended early
  wrong_size,  // the file's size differs from the destination's
};

// Fills `destination` from the file at `path`. The file's size is taken
// before any byte is read and stored in `*size` as soon as it is known
// (`size` may be null); bytes are read only when that size equals
// destination.size(), so an oversized file costs nothing.
LoadResult load_file_bytes(const std::string& path,
                           std::span<std::uint8_t> destination,
                           std::int64_t* size);

// Reads the whole file at `path` into `bytes` when it is a readable regular
// file of at most `limit` bytes; its size is stored in `*size` either way
// (wrong_size: larger than the limit, nothing read).
LoadResult load_whole_file(const std::string& path, std::size_t limit,
                           std::vector<std::uint8_t>& bytes, std::int64_t* size);

// A regular file open for reading piece by piece, for a decoder that takes
// its bytes as it goes: a photograph's file then never lies whole in memory
// beside the decoder's own buffers. Closed when it goes.
struct FileReading;
struct FileReadingCloser {
  void operator()(FileReading* file) const;
};
using OpenFile = std::unique_ptr<FileReading, FileReadingCloser>;

// Opens the file at `path` when it is a readable regular file (never blocks,
// as path_exists); null otherwise.
OpenFile open_for_reading(const std::string& path);

// What stands between a name and its bytes.
enum class OpenStatus {
  opened,
  missing,      // nothing of that name (a link that leads nowhere included)
  not_regular,  // a folder, a FIFO, a device
  refused,      // the system would not open it; `reason` gives its words
};

struct OpenedFile {
  OpenFile file;          // when opened
  std::int64_t size = 0;  // the file's size, when opened
  OpenStatus status = OpenStatus::missing;
  std::string reason;
};

// Opens the file at `path` for reading and says why where it cannot (never
// blocks, as path_exists). The size is known before a byte is read.
OpenedFile open_source_file(const std::string& path);

// The bytes a reading takes from the system at once: a decoder that asks for
// one byte at a time gets it from the piece in memory.
inline constexpr std::size_t kReadingPiece = 64 * 1024;

// Reads the file's next bytes into `buffer`, as many as it holds; returns
// how many: 0 at the end of the file or when it cannot be read. Reads from
// the system go in pieces of kReadingPiece bytes or more.
std::size_t read_next(FileReading& file, std::span<std::uint8_t> buffer);

// Fills `buffer` from the file's next bytes; false when the file ends first
// or cannot be read.
inline bool read_all_of(FileReading& file, std::span<std::uint8_t> buffer) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const std::size_t got = read_next(file, buffer.subspan(done));
    if (got == 0) return false;
    done += got;
  }
  return true;
}

}  // namespace bitmosaic
