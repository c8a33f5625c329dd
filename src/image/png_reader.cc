#include "image/png_reader.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "picture/byte_cursor.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kSignatureSize = 8;

// No chunk libpng keeps needs more: PLTE and tRNS hold at most 768 and 256
// bytes. Longer ones are skipped, never held.
constexpr png_alloc_size_t kLargestHeldChunk = 64 * 1024;
// Chunks libpng would keep in the image's info; every one we do not use is
// skipped, so none is, but a few more are harmless.
constexpr png_uint_32 kMostHeldChunks = 32;
// No encoder splits a file into more chunks than this; a file of millions
// of empty chunks would otherwise cost more time in their headers than any
// picture does.
constexpr std::size_t kMostChunks = std::size_t{1} << 20;

// Everything the libpng callbacks and the jump back need, free of C++
// objects with destructors: libpng reports errors by longjmp.
struct Decoding {
  ImageReader source;
  std::size_t library_memory;  // what libpng and zlib hold now
  std::size_t chunks;          // chunk headers read so far
  png_uint_32 height;
  // Where the rows are decoded: the whole image, or one row at a time.
  std::uint8_t* pixels;
  std::size_t row_size;
  bool whole;
  std::size_t handed;  // rows handed over so far
  bool reading_rows;   // the header is read; the rows are being decoded
  bool rows_complete;  // the last row is in; nothing more is read
  bool indexed;        // palette indexes, one byte a pixel, until expanded
  int palette_size;
  png_color palette[256];
  png_byte alpha[256];  // each palette entry's, from tRNS; 0xFF where it gives none
  char problem[160];
};

// libpng's row counters say that the last row of the last pass is done. It
// then goes on to inflate whatever the image data still holds, to the end of
// the stream: that is where a stream far longer than its image costs minutes.
bool last_row_done(png_structp png, const Decoding& decoding) {
  return png_get_current_pass_number(png) >= 7 ||
         png_get_current_row_number(png) >= decoding.height;
}

// The end of reading once the rows are complete is signalled like an error,
// from the one place every byte passes through; decode tells the two apart.
void read_from_source(png_structp png, png_bytep out, png_size_t length) {
  auto* decoding = static_cast<Decoding*>(png_get_io_ptr(png));
  if (decoding->reading_rows && last_row_done(png, *decoding)) {
    decoding->rows_complete = true;
    png_error(png, "rows complete");
  }
  if ((png_get_io_state(png) & PNG_IO_MASK_LOC) == PNG_IO_CHUNK_HDR &&
      ++decoding->chunks > kMostChunks)
    png_error(png, "too many chunks");
  std::size_t done = 0;
  for (std::size_t count = 1; done < length && count > 0; done += count)
    count = decoding->source.read(decoding->source.context, out + done, length - done);
  if (done < length) png_error(png, "file ends early");
}

void on_error(png_structp png, png_const_charp message) {
  auto* decoding = static_cast<Decoding*>(png_get_error_ptr(png));
  std::snprintf(decoding->problem, sizeof decoding->problem, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// libpng's and zlib's memory, counted against kPngLibraryMemory. Each block
// carries its size in front, so that freeing it gives the budget back.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

png_voidp allocate_counted(png_structp png, png_alloc_size_t size) {
  auto* decoding = static_cast<Decoding*>(png_get_mem_ptr(png));
  if (size > kPngLibraryMemory - decoding->library_memory) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kBlockHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  decoding->library_memory += size;
  return block + kBlockHeader;
}

void free_counted(png_structp png, png_voidp pointer) {
  if (pointer == nullptr) return;
  auto* decoding = static_cast<Decoding*>(png_get_mem_ptr(png));
  unsigned char* block = static_cast<unsigned char*>(pointer) - kBlockHeader;
  png_alloc_size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  decoding->library_memory -= size;
  std::free(block);
}

// Limits and skipped chunks, set before the first byte is read.
void bound_the_reader(png_structp png) {
  png_set_user_limits(png, kLongestPngSide, kLongestPngSide);
  png_set_chunk_malloc_max(png, kLargestHeldChunk);
  png_set_chunk_cache_max(png, kMostHeldChunks);
  // Every chunk but IHDR, PLTE, tRNS, IDAT and IEND, known or not, is
  // skipped unread: text (compressed or not), colour profiles, suggested
  // palettes and private chunks are never inflated or kept.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  // A skipped chunk's CRC guards bytes nobody looks at. Every chunk that is
  // used has its CRC checked; the zlib stream's own Adler-32 on top of the
  // IDAT CRCs would cost as much as inflating the image.
  png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_QUIET_USE);
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
}

enum class Stage { header, pixels, failed };

// Where the pixels go: into `image` whole, or row by row to `rows`.
struct Target {
  RgbImage* image = nullptr;
  const PngRows* rows = nullptr;
};

std::size_t expand_row(std::uint8_t* row, std::size_t width, const Decoding& decoding,
                       int& stray_index);

// Hands row `y` over (palette indexes expanded first); false, with the
// problem noted, at an index beyond the palette.
bool hand_over(Decoding& decoding, const Target& target, int y, std::uint8_t* row,
               std::size_t width) {
  if (decoding.indexed) {
    int index = 0;
    const std::size_t stray = expand_row(row, width, decoding, index);
    if (stray < width) {
      std::snprintf(decoding.problem, sizeof decoding.problem,
                    "the pixel at %zu, %d has palette index %d; the palette has %d colours",
                    stray, y, index, decoding.palette_size);
      return false;
    }
  }
  if (target.rows != nullptr) target.rows->take(target.rows->context, y, row);
  return true;
}

// Hands over the rows read and not yet handed over: every row of an image
// held whole, or the one row in the buffer. False at a stray palette index.
bool hand_over_rest(Decoding& decoding, const Target& target) {
  const std::size_t width = decoding.row_size / 4;
  for (; decoding.handed < decoding.height; ++decoding.handed) {
    std::uint8_t* row = decoding.pixels + (decoding.whole ? decoding.row_size * decoding.handed : 0);
    if (!hand_over(decoding, target, static_cast<int>(decoding.handed), row, width)) return false;
    if (!decoding.whole) {
      ++decoding.handed;
      return true;
    }
  }
  return true;
}

// Reads the header into `shape`; when the target wants the image, the
// pixels too, into the target's image or into `held`. Rows of an image held
// whole are handed over once all are in.
Stage decode(Decoding& decoding, PngShape& shape, const Target& target,
             bool (*wanted)(void*, const PngShape&), void* context,
             std::unique_ptr<std::uint8_t[]>& held) {
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &decoding, on_error,
                                             on_warning, &decoding, allocate_counted,
                                             free_counted);
  if (png == nullptr) return Stage::failed;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    // The rows are complete where reading stopped after the last of them;
    // the last is in the buffer, not yet handed over.
    if (!decoding.rows_complete) return Stage::failed;
    return hand_over_rest(decoding, target) ? Stage::pixels : Stage::failed;
  }
  png_set_read_fn(png, &decoding, read_from_source);
  bound_the_reader(png);
  png_read_info(png, info);
  shape.width = static_cast<int>(png_get_image_width(png, info));
  shape.height = static_cast<int>(png_get_image_height(png, info));
  shape.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  if (!wanted(context, shape)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Stage::header;
  }
  decoding.indexed = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
  if (decoding.indexed) {
    // Expanded after reading, where an index beyond the palette can be
    // seen: libpng would quietly make it black.
    png_colorp colours = nullptr;
    if (png_get_PLTE(png, info, &colours, &decoding.palette_size) != PNG_INFO_PLTE ||
        decoding.palette_size < 1 || decoding.palette_size > 256)
      png_error(png, "no palette");
    std::memcpy(decoding.palette, colours,
                static_cast<std::size_t>(decoding.palette_size) * sizeof(png_color));
    std::memset(decoding.alpha, 0xFF, sizeof decoding.alpha);
    png_bytep alpha = nullptr;
    int alphas = 0;
    if (png_get_tRNS(png, info, &alpha, &alphas, nullptr) == PNG_INFO_tRNS && alpha != nullptr)
      std::memcpy(decoding.alpha, alpha, static_cast<std::size_t>(std::clamp(alphas, 0, 256)));
    png_set_packing(png);  // one byte an index
  } else {
    png_set_expand(png);  // low-depth grey to 8 bits, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // a fourth byte where there is no alpha
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t width = static_cast<std::size_t>(shape.width);
  const auto height = static_cast<std::size_t>(shape.height);
  if (png_get_rowbytes(png, info) != (decoding.indexed ? 1 : 4) * width)
    png_error(png, "unexpected row layout");
  // Allocated only for a size the caller wants: the whole image where it is
  // kept or comes in passes, else one row.
  decoding.row_size = 4 * width;
  decoding.whole = target.image != nullptr || passes > 1;
  std::unique_ptr<std::uint8_t[]>& owner = target.image != nullptr ? target.image->pixels : held;
  owner.reset(new (std::nothrow)
                  std::uint8_t[decoding.whole ? decoding.row_size * height : decoding.row_size]);
  decoding.pixels = owner.get();
  if (decoding.pixels == nullptr) png_error(png, "out of memory");
  decoding.height = static_cast<png_uint_32>(shape.height);
  decoding.reading_rows = true;
  if (decoding.whole) {
    for (int pass = 0; pass < passes; ++pass)
      for (std::size_t y = 0; y < height; ++y)
        png_read_row(png, decoding.pixels + decoding.row_size * y, nullptr);
  } else {
    for (std::size_t y = 0; y < height; ++y) {
      png_read_row(png, decoding.pixels, nullptr);
      if (!hand_over_rest(decoding, target)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return Stage::failed;
      }
    }
  }
  // Every row came without the stream being read on: it ended with them.
  png_destroy_read_struct(&png, &info, nullptr);
  return hand_over_rest(decoding, target) ? Stage::pixels : Stage::failed;
}

// The palette indexes at the start of a row become four bytes a pixel, from
// the right, so that every index is read before its bytes are written over.
// Returns the first pixel whose index lies beyond the palette (its index in
// `stray_index`), or `width`.
std::size_t expand_row(std::uint8_t* row, std::size_t width, const Decoding& decoding,
                       int& stray_index) {
  std::size_t stray = width;
  for (std::size_t x = width; x-- > 0;) {
    const int index = row[x];
    if (index >= decoding.palette_size) {
      stray = x;
      stray_index = index;
    }
    const png_color& colour = decoding.palette[index];  // 256 entries, zero beyond the palette
    row[4 * x] = colour.red;
    row[4 * x + 1] = colour.green;
    row[4 * x + 2] = colour.blue;
    row[4 * x + 3] = decoding.alpha[index];
  }
  return stray;
}

}  // namespace

bool has_png_signature(std::span<const std::uint8_t> file) {
  return file.size() >= kSignatureSize && png_sig_cmp(file.data(), 0, kSignatureSize) == 0;
}

PngRead read_png(std::span<const std::uint8_t> file, bool (*wanted)(int width, int height)) {
  PngRead result;
  ByteCursor bytes(file);
  Decoding decoding{};
  decoding.source = reader_of(bytes);
  PngShape shape;
  const Target target{&result.image, nullptr};
  using SizeWanted = bool (*)(int, int);
  const auto size_wanted = [](void* context, const PngShape& header) {
    return (*static_cast<SizeWanted*>(context))(header.width, header.height);
  };
  std::unique_ptr<std::uint8_t[]> unused;
  const Stage stage =
      decode(decoding, shape, target, size_wanted, &wanted, unused);
  result.image.width = shape.width;
  result.image.height = shape.height;
  if (stage == Stage::failed)
    result.problem = decoding.problem[0] != '\0' ? decoding.problem : "out of memory";
  if (stage != Stage::pixels) result.image.pixels.reset();
  return result;
}

PngRowsRead read_png_rows(ImageReader source, const PngRows& rows) {
  PngRowsRead result;
  Decoding decoding{};
  decoding.source = source;
  std::unique_ptr<std::uint8_t[]> held;
  const Stage stage =
      decode(decoding, result.shape, {nullptr, &rows}, rows.wanted, rows.context, held);
  if (stage == Stage::failed)
    result.problem = decoding.problem[0] != '\0' ? decoding.problem : "out of memory";
  result.read = stage == Stage::pixels;
  return result;
}

}  // namespace bitmosaic
