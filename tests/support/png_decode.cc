#include "support/png_decode.h"

#include <png.h>

#include <cstring>

namespace bitmosaic::testing {

DecodedPng decode_png(const std::string& file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  DecodedPng decoded;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return decoded;
  image.format = PNG_FORMAT_RGB;
  decoded.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, decoded.rgb.data(), 0, nullptr)) return {};
  decoded.width = image.width;
  decoded.height = image.height;
  return decoded;
}

}  // namespace bitmosaic::testing
