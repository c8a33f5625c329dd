#include "image/image_reader.h"

#include <algorithm>
#include <cstring>

#include "picture/file_reading.h"

namespace bitmosaic {
namespace {

std::size_t read_bytes(void* context, std::uint8_t* buffer, std::size_t size) {
  const std::span<const std::uint8_t> piece = static_cast<ByteCursor*>(context)->take_up_to(size);
  if (!piece.empty()) std::memcpy(buffer, piece.data(), piece.size());
  return piece.size();
}

std::size_t read_file(void* context, std::uint8_t* buffer, std::size_t size) {
  return read_next(*static_cast<FileReading*>(context), std::span(buffer, size));
}

}  // namespace

ImageReader reader_of(ByteCursor& cursor) { return ImageReader{&cursor, read_bytes}; }

ImageReader reader_of(FileReading& file) { return ImageReader{&file, read_file}; }

}  // namespace bitmosaic
