#include "crafted_inputs.h"
#include "hostile_png.h"

// jpeglib.h uses FILE and size_t without including their headers.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <random>
#include <span>
#include <stdexcept>
#include <vector>

namespace bitmosaic {
namespace {

// ---- JPEG ------------------------------------------------------------------

// The highest bit position libjpeg lets a progressive scan of 8-bit samples
// start at; a coefficient band can therefore be sent in at most 11 scans: a
// first one at bit 10 and a refinement for each bit below it.
constexpr int kHighestBit = 10;
constexpr int kLongestChain = kHighestBit + 1;
constexpr int kAcCoefficients = DCTSIZE2 - 1;
constexpr int kMostRefinementScans = 1 + kAcCoefficients * kLongestChain;

// Rows handed to libjpeg per call; they all point at the same zero row.
constexpr int kRowsPerCall = 16;

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jpeg_failed(j_common_ptr common) {
  auto* error = reinterpret_cast<JpegError*>(common->err);
  (*common->err->format_message)(common, error->message);
  std::longjmp(error->back, 1);
}

void jpeg_quiet(j_common_ptr, int) {}

struct JpegSettings {
  int width = 8, height = 8;
  int components = 3;  // 1: greyscale; 3: RGB
  bool arithmetic = false;
  bool simple_progression = false;
  const std::vector<jpeg_scan_info>* script = nullptr;
  int quality = 75;
  bool exif = false;  // an APP1 Exif segment first, holding `tiff`
  std::string_view tiff;
  // Fills row `y` (width x components samples); nullptr leaves every row
  // black.
  void (*fill)(int y, int width, int components, JSAMPLE* row) = nullptr;
};

// Compresses the rows that `settings.fill` makes. libjpeg leaves an error by
// longjmp, so nothing with a destructor is made between the setjmp and the
// last libjpeg call.
std::string compress_jpeg(const JpegSettings& settings) {
  std::vector<JSAMPLE> row(
      static_cast<std::size_t>(settings.width) * static_cast<std::size_t>(settings.components), 0);
  std::vector<JSAMPROW> rows(kRowsPerCall, row.data());
  std::string segment;
  if (settings.exif) {
    segment.assign("Exif\0\0", 6);
    segment.append(settings.tiff);
  }
  jpeg_compress_struct compress{};
  JpegError error{};
  compress.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jpeg_failed;
  error.manager.emit_message = jpeg_quiet;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.back) != 0) {
    jpeg_destroy_compress(&compress);
    std::free(buffer);
    throw std::runtime_error(std::string("libjpeg: ") + error.message);
  }
  jpeg_create_compress(&compress);
  jpeg_mem_dest(&compress, &buffer, &size);
  compress.image_width = static_cast<JDIMENSION>(settings.width);
  compress.image_height = static_cast<JDIMENSION>(settings.height);
  compress.input_components = settings.components;
  compress.in_color_space = settings.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&compress);
  jpeg_set_quality(&compress, settings.quality, TRUE);
  compress.dct_method = JDCT_IFAST;
  compress.arith_code = settings.arithmetic ? TRUE : FALSE;
  if (settings.simple_progression) jpeg_simple_progression(&compress);
  if (settings.script != nullptr) {
    compress.scan_info = settings.script->data();
    compress.num_scans = static_cast<int>(settings.script->size());
  }
  // An EXIF file starts with its APP1 segment, not with JFIF's APP0.
  if (settings.exif) compress.write_JFIF_header = FALSE;
  jpeg_start_compress(&compress, TRUE);
  if (settings.exif)
    jpeg_write_marker(&compress, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(segment.data()),
                      static_cast<unsigned int>(segment.size()));
  while (compress.next_scanline < compress.image_height) {
    const JDIMENSION y = compress.next_scanline;
    if (settings.fill != nullptr) {
      settings.fill(static_cast<int>(y), settings.width, settings.components, row.data());
      jpeg_write_scanlines(&compress, rows.data(), 1);
    } else {
      jpeg_write_scanlines(&compress, rows.data(),
                           std::min<JDIMENSION>(kRowsPerCall, compress.image_height - y));
    }
  }
  jpeg_finish_compress(&compress);
  jpeg_destroy_compress(&compress);
  std::string file(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return file;
}

// Red rises across, green down, blue is a checkerboard of 16-pixel squares:
// smooth areas and sharp edges, and no two corners alike. The height is
// not known here, so green wraps every 256 rows.
int gradient_sample(int x, int y, int width, int channel) {
  switch (channel) {
    case 0:
      return width > 1 ? x * 255 / (width - 1) : 0;
    case 1:
      return y & 0xFF;
    default:
      return (x / 16 + y / 16) % 2 == 0 ? 40 : 215;
  }
}

void gradient_row(int y, int width, int components, JSAMPLE* row) {
  for (int x = 0; x < width; ++x)
    for (int c = 0; c < components; ++c)
      row[x * components + c] = static_cast<JSAMPLE>(gradient_sample(x, y, width, c));
}

// One band of coefficients sent in `length` scans: first at bit length-1,
// then each lower bit in a refinement of its own.
void add_chain(std::vector<jpeg_scan_info>& script, int first, int last, int length) {
  jpeg_scan_info scan{};
  scan.comps_in_scan = 1;
  scan.component_index[0] = 0;
  scan.Ss = first;
  scan.Se = last;
  scan.Ah = 0;
  scan.Al = length - 1;
  script.push_back(scan);
  for (int bit = length - 2; bit >= 0; --bit) {
    scan.Ah = bit + 1;
    scan.Al = bit;
    script.push_back(scan);
  }
}

std::vector<jpeg_scan_info> refinement_script(int scans) {
  std::vector<jpeg_scan_info> script;
  // The DC coefficients whole in one scan: a DC refinement codes a bit of
  // every block at even odds, which would make the file megabytes long.
  add_chain(script, 0, 0, 1);
  int left = scans - 1;
  const int bands = (left + kLongestChain - 1) / kLongestChain;
  for (int band = 0; band < bands; ++band) {
    const int length = std::min(left, kLongestChain);
    add_chain(script, 1 + band * kAcCoefficients / bands, (band + 1) * kAcCoefficients / bands,
              length);
    left -= length;
  }
  return script;
}

// ---- PNG -------------------------------------------------------------------


// Deflates what it is given piece by piece, so that megabytes of rows never
// lie whole in memory.
struct Deflating {
  z_stream stream{};
  std::string out;
};

void deflate_into(Deflating& deflating, const std::string& input, int flush) {
  deflating.out += deflate_piece(deflating.stream, input, flush);
}

struct PngShape {
  int width, height;
  int bit_depth;    // 1 or 8
  int colour_type;  // 0 grey, 2 RGB
  bool interlaced;
};

// Adam7's passes: the first pixel and the step, across and down.
struct Pass {
  int x, y, dx, dy;
};
constexpr Pass kWholeImage[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// `fill(y, x, dx, count, row)` appends the samples of `count` pixels of row
// y, from x in steps of dx. Rows of 8-bit samples are stored with the Sub
// filter (each byte less the one a pixel to its left), which leaves a
// gradient's rows nearly all zeros; 1-bit rows are stored as they are.
template <typename Fill>
std::string png_file(const PngShape& shape, Fill fill) {
  Deflating deflating;
  if (deflateInit(&deflating.stream, 9) != Z_OK) throw std::runtime_error("deflateInit failed");
  std::string pending;
  constexpr std::size_t kPiece = std::size_t{1} << 18;
  const auto passes =
      shape.interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWholeImage);
  const std::size_t pixel_bytes = shape.colour_type == 2 ? 3 : 1;
  for (const Pass& pass : passes) {
    if (pass.x >= shape.width || pass.y >= shape.height) continue;  // an empty pass has no rows
    const int count = (shape.width - pass.x + pass.dx - 1) / pass.dx;
    for (int y = pass.y; y < shape.height; y += pass.dy) {
      const bool sub = shape.bit_depth == 8;
      pending += static_cast<char>(sub ? 1 : 0);
      const std::size_t start = pending.size();
      fill(y, pass.x, pass.dx, count, pending);
      if (sub)
        for (std::size_t at = pending.size(); at-- > start + pixel_bytes;)
          pending[at] = static_cast<char>(pending[at] - pending[at - pixel_bytes]);
      if (pending.size() >= kPiece) {
        deflate_into(deflating, pending, Z_NO_FLUSH);
        pending.clear();
      }
    }
  }
  deflate_into(deflating, pending, Z_FINISH);
  deflateEnd(&deflating.stream);

  std::string header;
  put_u32(header, static_cast<std::uint32_t>(shape.width));
  put_u32(header, static_cast<std::uint32_t>(shape.height));
  header += static_cast<char>(shape.bit_depth);
  header += static_cast<char>(shape.colour_type);
  header += '\0';  // deflate
  header += '\0';  // adaptive filtering
  header += static_cast<char>(shape.interlaced ? 1 : 0);
  std::string file("\x89PNG\r\n\x1a\n", 8);
  file += png_chunk("IHDR", header);
  constexpr std::size_t kIdatSize = 32 * 1024;
  const std::string& data = deflating.out;
  for (std::size_t at = 0; at < data.size(); at += kIdatSize)
    file += png_chunk("IDAT", data.substr(at, std::min(kIdatSize, data.size() - at)));
  file += png_chunk("IEND", "");
  return file;
}

std::string gradient_png(int width, int height, bool interlaced) {
  const auto fill = [width](int y, int x, int dx, int count, std::string& row) {
    for (int i = 0; i < count; ++i, x += dx)
      for (int c = 0; c < 3; ++c) row += static_cast<char>(gradient_sample(x, y, width, c));
  };
  return png_file({width, height, 8, 2, interlaced}, fill);
}

// ---- GIF -------------------------------------------------------------------

int gif_output(GifFileType* gif, const GifByteType* bytes, int length) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
  return length;
}

// The order an interlaced GIF stores its rows in: every 8th from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int> gif_row_order(int height, bool interlaced) {
  std::vector<int> order;
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  constexpr int kStart[] = {0, 4, 2, 1};
  constexpr int kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  return order;
}

void check_gif(int status, const char* what) {
  if (status != GIF_OK) throw std::runtime_error(std::string("giflib: ") + what + " failed");
}

}  // namespace

std::string arithmetic_zero_jpeg(int side) {
  JpegSettings settings;
  settings.width = settings.height = side;
  settings.components = 1;
  settings.arithmetic = true;
  settings.quality = 75;
  return compress_jpeg(settings);
}

std::string progressive_refinement_jpeg(int side, int scans) {
  if (scans < 1 || scans > kMostRefinementScans)
    throw std::invalid_argument("progressive_refinement_jpeg: 1 to 694 scans");
  const std::vector<jpeg_scan_info> script = refinement_script(scans);
  JpegSettings settings;
  settings.width = settings.height = side;
  settings.components = 1;
  settings.arithmetic = true;
  settings.script = &script;
  settings.quality = 75;
  return compress_jpeg(settings);
}

std::string gif_comment_flood(int records) {
  std::string file("GIF89a", 6);
  // The screen: 1x1, a global colour table of 2 entries (black, white).
  file += std::string("\x01\x00\x01\x00\x80\x00\x00", 7);
  file += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
  const std::string record(
      "\x21\xFE\x05"
      "flood"
      "\x00",
      9);
  file.reserve(file.size() + static_cast<std::size_t>(std::max(records, 0)) * record.size() + 16);
  for (int i = 0; i < records; ++i) file += record;
  // The frame: 1x1 at 0,0, no local colour table, not interlaced; LZW of
  // minimum code size 2 holding clear, index 0, end.
  file += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
  file += std::string("\x02\x02\x44\x01\x00", 5);
  file += '\x3B';
  return file;
}

std::string one_bit_png(int width, int height) {
  const auto fill = [](int, int, int, int count, std::string& row) {
    row.append(static_cast<std::size_t>((count + 7) / 8), '\0');
  };
  return png_file({width, height, 1, 0, false}, fill);
}

std::string wide_png(int width, int height) { return gradient_png(width, height, false); }

std::string program_at(std::uint16_t address, std::size_t size) {
  std::string file;
  file.reserve(size);
  file += static_cast<char>(address & 0xFF);
  file += static_cast<char>(address >> 8);
  file.resize(std::min(size, file.size()));
  std::mt19937 sequence(0x6000);  // mt19937's output is the same on every standard library
  while (file.size() < size) file += static_cast<char>(sequence() & 0xFF);
  return file;
}

std::string jpeg_with_exif(std::string_view tiff) {
  JpegSettings settings;
  settings.exif = true;
  settings.tiff = tiff;
  settings.fill = gradient_row;
  return compress_jpeg(settings);
}

std::string short_exif_tiff() { return std::string("II\x2A\x00\x08\x00\x00\x00\xFF\xFF", 10); }

bool write_zeros(std::ostream& out, std::uint64_t size) {
  const std::vector<char> zeros(std::size_t{1} << 20, '\0');
  while (size > 0 && out) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, zeros.size()));
    out.write(zeros.data(), static_cast<std::streamsize>(piece));
    size -= piece;
  }
  return static_cast<bool>(out.flush());
}

std::string sample_png(int width, int height, bool interlaced) {
  return gradient_png(width, height, interlaced);
}

std::string sample_jpeg(int width, int height, bool progressive, std::string_view tiff) {
  JpegSettings settings;
  settings.width = width;
  settings.height = height;
  settings.simple_progression = progressive;
  settings.exif = !tiff.empty();
  settings.tiff = tiff;
  settings.fill = gradient_row;
  return compress_jpeg(settings);
}

std::string orientation_tiff(int orientation) {
  std::string tiff("MM\x00\x2A\x00\x00\x00\x08", 8);
  tiff += std::string("\x00\x01", 2);                          // one entry
  tiff += std::string("\x01\x12\x00\x03\x00\x00\x00\x01", 8);  // Orientation, SHORT, 1 value
  tiff += static_cast<char>(0);
  tiff += static_cast<char>(orientation);
  tiff += std::string("\x00\x00", 2);
  tiff += std::string("\x00\x00\x00\x00", 4);  // no further directory
  return tiff;
}

std::string sample_gif(int width, int height, bool interlaced) {
  std::string file;
  int status = 0;
  GifFileType* gif = EGifOpen(&file, gif_output, &status);
  if (gif == nullptr) throw std::runtime_error("giflib: EGifOpen failed");
  GifColorType colours[16];
  for (int i = 0; i < 16; ++i)
    colours[i] = {static_cast<GifByteType>(i * 17), static_cast<GifByteType>(255 - i * 13),
                  static_cast<GifByteType>((i * 71) & 0xFF)};
  ColorMapObject* map = GifMakeMapObject(16, colours);
  EGifSetGifVersion(gif, true);
  try {
    check_gif(EGifPutScreenDesc(gif, width, height, 4, 0, map), "EGifPutScreenDesc");
    check_gif(EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr), "EGifPutImageDesc");
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    for (const int y : gif_row_order(height, interlaced)) {
      for (int x = 0; x < width; ++x)
        line[static_cast<std::size_t>(x)] =
            static_cast<GifPixelType>((x * 16 / std::max(width, 1) + y) % 16);
      check_gif(EGifPutLine(gif, line.data(), width), "EGifPutLine");
    }
  } catch (...) {
    EGifCloseFile(gif, &status);
    GifFreeMapObject(map);
    throw;
  }
  GifFreeMapObject(map);
  check_gif(EGifCloseFile(gif, &status), "EGifCloseFile");
  return file;
}

}  // namespace bitmosaic
