// The in-memory form of a Koala picture and the arithmetic that finds a
// cell, a pixel line or a colour in it. Every effect goes through these
// helpers, so the file layout is written down here and nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace bitmosaic {

// File layout, byte for byte:
//   0..1        load address in C64 memory, low byte first
//   2..8001     bitmap, 1000 cells of 8 bytes, stored row by row
//   8002..9001  screen colours, one byte per cell
//   9002..10001 colour-RAM colours, one byte per cell
//   10002       background colour
inline constexpr std::size_t kKoalaFileSize = 10003;
inline constexpr std::size_t kLoadAddressOffset = 0;
inline constexpr std::size_t kBitmapOffset = 2;
inline constexpr std::size_t kBitmapSize = 8000;
inline constexpr std::size_t kScreenColourOffset = 8002;
inline constexpr std::size_t kColourRamOffset = 9002;
inline constexpr std::size_t kBackgroundOffset = 10002;

// Where the paint program loads its pictures, and what a picture made here
// names.
inline constexpr std::uint16_t kDefaultLoadAddress = 0x6000;

inline constexpr int kCellColumns = 40;
inline constexpr int kCellRows = 25;
inline constexpr int kLinesPerCell = 8;
inline constexpr int kPixelLines = kCellRows * kLinesPerCell;  // 200
inline constexpr int kPixelsPerByte = 4;  // multicolour pixels are two bits wide
inline constexpr int kPixelColumns = kCellColumns * kPixelsPerByte;  // 160

using KoalaPicture = std::array<std::uint8_t, kKoalaFileSize>;

// Bitmap byte of line `line` (0..7) of cell (column, row).
constexpr std::size_t cell_byte_offset(int column, int row, int line) {
  return kBitmapOffset + 320 * static_cast<std::size_t>(row) +
         8 * static_cast<std::size_t>(column) + static_cast<std::size_t>(line);
}

// Bitmap byte of pixel line y (0..199) in cell column `column`.
constexpr std::size_t pixel_line_byte_offset(int column, int y) {
  return cell_byte_offset(column, y / kLinesPerCell, y % kLinesPerCell);
}

constexpr std::size_t screen_colour_offset(int column, int row) {
  return kScreenColourOffset + 40 * static_cast<std::size_t>(row) +
         static_cast<std::size_t>(column);
}

constexpr std::size_t colour_ram_offset(int column, int row) {
  return kColourRamOffset + 40 * static_cast<std::size_t>(row) +
         static_cast<std::size_t>(column);
}

static_assert(cell_byte_offset(kCellColumns - 1, kCellRows - 1, 7) + 1 ==
                  kScreenColourOffset,
              "the last bitmap byte sits right before the screen colours");
static_assert(colour_ram_offset(kCellColumns - 1, kCellRows - 1) + 1 ==
                  kBackgroundOffset,
              "the background byte follows the last colour-RAM byte");

// Two-bit value of pixel `pixel` (0 = leftmost, in bits 7-6) of a bitmap byte.
constexpr int pixel_value(std::uint8_t bitmap_byte, int pixel) {
  return (bitmap_byte >> (6 - 2 * pixel)) & 0x03;
}

// Mask selecting the bits of pixel `pixel` (0 = leftmost) in a bitmap byte.
constexpr std::uint8_t pixel_mask(int pixel) {
  return static_cast<std::uint8_t>(0xC0 >> (2 * pixel));
}

std::uint16_t load_address(const KoalaPicture& picture);

// The colour number (0..15) that pixel value 0..3 shows in cell (column, row):
// 0 the background, 1 the high and 2 the low four bits of the screen colour,
// 3 the low four bits of the colour-RAM byte. Only the low four bits of the
// background and colour-RAM bytes reach the screen on the machine.
// Inline: the previews call it for every cell.
inline int pixel_colour(const KoalaPicture& picture, int column, int row, int value) {
  switch (value) {
    case 0:
      return picture[kBackgroundOffset] & 0x0F;
    case 1:
      return picture[screen_colour_offset(column, row)] >> 4;
    case 2:
      return picture[screen_colour_offset(column, row)] & 0x0F;
    default:
      return picture[colour_ram_offset(column, row)] & 0x0F;
  }
}

// Copies a whole cell, its 8 bitmap bytes together with both colour bytes.
void copy_cell(KoalaPicture& to, int to_column, int to_row,
               const KoalaPicture& from, int from_column, int from_row);

// Sets the 8 bitmap bytes of a cell to 0; its colours stay.
void clear_cell_bitmap(KoalaPicture& picture, int column, int row);

}  // namespace bitmosaic
