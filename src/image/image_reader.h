// Where the bytes of an image file come from when the file is not held
// whole: a progressive JPEG's decoder holds coefficients for the whole
// image, and the file's bytes need not lie beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "picture/byte_cursor.h"

namespace bitmosaic {

// Each call fills up to `size` bytes of `buffer` with the file's next bytes
// and returns how many; 0 at the end of the file, or when it cannot be read.
struct ImageReader {
  void* context = nullptr;
  std::size_t (*read)(void* context, std::uint8_t* buffer, std::size_t size) = nullptr;
};

// Reads from bytes in memory through `cursor`, which must outlive the reader.
ImageReader reader_of(ByteCursor& cursor);

// Reads an open file (see picture/file_reading.h), which must outlive the
// reader.
struct FileReading;
ImageReader reader_of(FileReading& file);

}  // namespace bitmosaic
