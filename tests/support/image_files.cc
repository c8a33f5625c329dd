#include "support/image_files.h"

#include <cstdio>
#include <cstdlib>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <png.h>

#include <map>
#include <stdexcept>

namespace bitmosaic::testing {

std::string encode_jpeg(int width, int height, const std::string& rgb, int scans) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c)
    info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  std::vector<jpeg_scan_info> script;
  if (scans > 0) {
    script.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int scan = 1; scan < scans; ++scan) {
      const int coefficient = 1 + (scan - 1) % 63;
      script.push_back({1, {(scan - 1) / 63, 0, 0, 0}, coefficient, coefficient, 0, 0});
    }
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(
        const_cast<char*>(rgb.data()) + 3 * static_cast<std::size_t>(width) * info.next_scanline);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string file(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return file;
}

std::string with_exif_orientation(const std::string& jpeg, int orientation, bool big_endian) {
  const auto u16 = [&](unsigned value) {
    return big_endian ? std::string{char(value >> 8), char(value & 0xFF)}
                      : std::string{char(value & 0xFF), char(value >> 8)};
  };
  const auto u32 = [&](unsigned value) {
    return big_endian ? u16(value >> 16) + u16(value & 0xFFFF)
                      : u16(value & 0xFFFF) + u16(value >> 16);
  };
  // A TIFF header, then one image directory: a software tag first (so that
  // the orientation is not simply the first entry), then the orientation.
  std::string tiff = big_endian ? "MM" : "II";
  tiff += u16(42) + u32(8);
  tiff += u16(2);
  tiff += u16(0x0131) + u16(2) + u32(4) + "abc" + std::string(1, '\0');
  tiff += u16(0x0112) + u16(3) + u32(1) + u16(static_cast<unsigned>(orientation)) + u16(0);
  tiff += u32(0);
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  const std::size_t length = payload.size() + 2;
  const std::string segment =
      std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

namespace {

int append(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  return length;
}

void append_png(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void no_flush(png_structp) {}

}  // namespace

std::string encode_rgba_png(int width, int height, const std::string& rgba, bool indexed) {
  std::string file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("libpng");
  png_set_write_fn(png, &file, append_png, no_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::vector<png_byte> samples(rgba.begin(), rgba.end());
  std::vector<png_color> palette;
  std::vector<png_byte> alphas;
  if (indexed) {
    std::map<std::string, png_byte> entries;
    std::vector<png_byte> indexes(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
      const std::string colour = rgba.substr(4 * i, 4);
      auto [entry, added] = entries.emplace(colour, static_cast<png_byte>(entries.size()));
      if (added) {
        palette.push_back({png_byte(colour[0]), png_byte(colour[1]), png_byte(colour[2])});
        alphas.push_back(png_byte(colour[3]));
      }
      indexes[i] = entry->second;
    }
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    samples = indexes;
  }
  png_write_info(png, info);
  const std::size_t row_size = (indexed ? 1 : 4) * static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y)
    png_write_row(png, &samples[row_size * static_cast<std::size_t>(y)]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

std::string encode_gif(const GifFrame& frame) {
  std::string file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, append, &error);
  if (gif == nullptr) throw std::runtime_error("EGifOpen");
  EGifSetGifVersion(gif, true);
  int bits = 1;
  while ((1 << bits) < static_cast<int>(frame.colours.size())) ++bits;
  ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
  for (std::size_t i = 0; i < frame.colours.size(); ++i)
    map->Colors[i] = {GifByteType(frame.colours[i] >> 16), GifByteType(frame.colours[i] >> 8),
                      GifByteType(frame.colours[i])};
  EGifPutScreenDesc(gif, frame.screen_width, frame.screen_height, 8, 0, map);
  if (frame.transparent >= 0) {
    const GifByteType control[4] = {0x01, 0, 0, GifByteType(frame.transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
  }
  EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced,
                   nullptr);
  const auto put_row = [&](int y) {
    const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width);
    EGifPutLine(gif, const_cast<GifPixelType*>(&frame.indexes[start]), frame.width);
  };
  if (frame.interlaced) {
    constexpr int kStarts[] = {0, 4, 2, 1}, kSteps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStarts[pass]; y < frame.height; y += kSteps[pass]) put_row(y);
  } else {
    for (int y = 0; y < frame.height; ++y) put_row(y);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return file;
}

}  // namespace bitmosaic::testing
