// Crafted input files: each small on disc and cheap to make, each shaped to
// cost a careless reader processor time, memory or a buffer it does not
// have. A JPEG that claims 65500x65500 pixels of arithmetic-coded zeros, a
// progressive one of 100 refinement scans, a GIF of 200,000 comments before
// its one pixel, PNG images of 64 million 1-bit pixels or 20000 columns, a
// program too long for the paint format its load address suggests, an EXIF
// segment cut short of the entries it claims, and files of zeros at and just
// over the largest file the tool reads. The tests make small ones, the
// benchmark (bench/run.sh, through make_crafted_input) the sizes that once
// took seconds or gigabytes; small ones are fuzz seeds.
//
// Beside them, plain images of each kind the converter reads (PNG, Adam7
// PNG, baseline and progressive JPEG, GIF, interlaced GIF) for the image
// fuzzer's seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace bitmosaic {

// A greyscale JPEG of `side` x `side` black pixels (at most 65500),
// arithmetic-coded in one scan: 128 bytes for any side from 256 on, as
// every block after the first codes the same nothing and the coder drops
// the zero bytes that come to. libjpeg still compresses every row: the
// 65500 side takes it about 7 s.
std::string arithmetic_zero_jpeg(int side);

// A greyscale progressive JPEG of `side` x `side` black pixels,
// arithmetic-coded in exactly `scans` scans (1 to 694): the DC coefficients
// in one scan, then the AC coefficients in as many bands as the scans need,
// each band first sent from bit 10 (or lower, for the last) and then
// refined a bit at a time down to bit 0: 100 scans are 9 bands of 11.
std::string progressive_refinement_jpeg(int side, int scans);

// A 1x1 GIF89a whose one pixel follows `records` comment extensions of one
// five-byte sub-block each (9 bytes a record).
std::string gif_comment_flood(int records);

// A PNG of `width` x `height` 1-bit greyscale pixels, all black: 8000x8000
// is 8 MB of rows deflated to a few KB.
std::string one_bit_png(int width, int height);

// A valid 8-bit RGB PNG of `width` x `height` pixels of a gradient, for the
// widest rows a reader meets.
std::string wide_png(int width, int height);

// A file of `size` bytes: the load address, low byte first, then bytes of a
// fixed pseudo-random sequence (the same on every machine).
std::string program_at(std::uint16_t address, std::size_t size);

// An 8x8 baseline JPEG whose first segment is an APP1 "Exif\0\0" followed by
// `tiff` as the TIFF data, however short or wrong it is.
std::string jpeg_with_exif(std::string_view tiff);

// The TIFF data of `exif_short`: little-endian, the first directory at 8, and
// that directory claiming 0xFFFF entries in a file that ends right there.
std::string short_exif_tiff();

// The largest file the tool reads whole is 64 MiB; the zero files are that
// size and one byte more.
inline constexpr std::uint64_t kZeroFileSize = std::uint64_t{64} << 20;
inline constexpr std::uint64_t kOverCapFileSize = kZeroFileSize + 1;

// Writes `size` zero bytes to `out` a piece at a time, never holding the
// file; false when writing fails.
bool write_zeros(std::ostream& out, std::uint64_t size);

// Plain images for seeds: red rising across, green down, a checkerboard in
// blue.

// 8-bit RGB, Adam7-interlaced or not.
std::string sample_png(int width, int height, bool interlaced);

// Quality 75 RGB, baseline or progressive (libjpeg's own scan order); with
// `tiff` not empty, an APP1 Exif segment holding it comes first.
std::string sample_jpeg(int width, int height, bool progressive, std::string_view tiff = {});

// The TIFF data of an EXIF segment holding only the orientation tag (1 to 8),
// big-endian ("MM").
std::string orientation_tiff(int orientation);

// A GIF89a of one frame over the whole screen, 16 colours, interlaced or not.
std::string sample_gif(int width, int height, bool interlaced);

}  // namespace bitmosaic
