// How our own commands open their sources: once, named for what stands in
// the way (nothing there, not a regular file, the system's refusal), and
// held to the size cap before a byte is read. The effects keep their own
// reading of Koala files and its messages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <memory>

#include "picture/koala_picture.h"
#include "picture/file_reading.h"

namespace bitmosaic {

// The largest file our own commands read; no picture in any form, and no
// photograph worth converting, comes near it.
inline constexpr std::size_t kLargestSourceFile = 64u << 20;

// Opens a source of our own commands or ends the run.
OpenedFile open_source(const std::string& path);

// Reads all of an open source into `bytes` or ends the run.
void read_source(FileReading& file, const std::string& path, std::span<std::uint8_t> bytes);

// A whole source's bytes. Left uninitialised before they are read: a
// zero-filled buffer would cost a picture's import a tenth again.
struct SourceBytes {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
  std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
};

// Reads all of an open source of `size` bytes into `bytes`, or ends the run.
void read_whole_source(FileReading& file, const std::string& path, std::size_t size,
                       SourceBytes& bytes);

// Reads a source of any kind or ends the run; returns the file's size.
std::int64_t load_source_file(const std::string& path, SourceBytes& bytes);

}  // namespace bitmosaic
