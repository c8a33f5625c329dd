#include "image/image_reader.h"

#include <algorithm>
#include <cstring>

#include "picture/picture_file.h"

namespace bitmosaic {
namespace {

std::size_t read_bytes(void* context, std::uint8_t* buffer, std::size_t size) {
  auto& position = *static_cast<BytesPosition*>(context);
  const std::size_t count = std::min(size, position.bytes.size() - position.offset);
  if (count > 0) std::memcpy(buffer, position.bytes.data() + position.offset, count);
  position.offset += count;
  return count;
}

std::size_t read_file(void* context, std::uint8_t* buffer, std::size_t size) {
  return read_next(*static_cast<FileReading*>(context), std::span(buffer, size));
}

}  // namespace

ImageReader reader_of(BytesPosition& position) { return ImageReader{&position, read_bytes}; }

ImageReader reader_of(FileReading& file) { return ImageReader{&file, read_file}; }

}  // namespace bitmosaic
