// Image files made in the tests: JPEG files written with libjpeg's own
// compressor (baseline, or progressive with any number of scans), an EXIF
// orientation put into one, and GIF files written with giflib's encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bitmosaic::testing {

// `rgb` holds 3 bytes a pixel, row by row. `scans` 0 makes a baseline file;
// otherwise a progressive one of exactly that many scans (1 to 190): the DC
// coefficients first, then one AC coefficient of one component a scan.
// Quality 100 without chroma subsampling, so that colours come back close.
std::string encode_jpeg(int width, int height, const std::string& rgb, int scans = 0);

// `jpeg` with an APP1 Exif segment after its SOI marker that holds the
// orientation tag, in big-endian ("MM") or little-endian ("II") byte order.
std::string with_exif_orientation(const std::string& jpeg, int orientation, bool big_endian);

struct GifFrame {
  int screen_width, screen_height;
  int left, top, width, height;        // the frame on the screen
  std::vector<std::uint8_t> indexes;   // width x height colour indexes, row by row
  std::vector<std::uint32_t> colours;  // the global colour table, 0xRRGGBB, 2 to 256 entries
  int transparent = -1;                // the transparent index, or none
  bool interlaced = false;
};

// `rgba` holds 4 bytes a pixel, row by row: an 8-bit RGBA PNG, or with
// `indexed` a palette PNG whose transparency (tRNS) gives each entry's alpha.
std::string encode_rgba_png(int width, int height, const std::string& rgba, bool indexed);

// A GIF89a file of one frame.
std::string encode_gif(const GifFrame& frame);

// A file's bytes as the readers take them.
inline std::vector<std::uint8_t> bytes_of(const std::string& file) {
  return std::vector<std::uint8_t>(file.begin(), file.end());
}

}  // namespace bitmosaic::testing
