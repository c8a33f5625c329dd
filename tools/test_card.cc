#include "test_card.h"

#include <cstdint>

namespace bitmosaic {
namespace {

// Integer square root, so the card comes out the same on every platform.
int isqrt(int n) {
  int root = 0;
  while ((root + 1) * (root + 1) <= n) ++root;
  return root;
}

// Concentric rings around an off-centre point, in the four pixel values.
// The rings are wider than a cell and the centre is not on a cell corner,
// so neighbouring cells never look alike.
int ring_value(int x, int y) {
  const int dx = 2 * (x - 53);  // a multicolour pixel is twice as wide
  const int dy = y - 71;
  return (isqrt(dx * dx + dy * dy) / 7) % 4;
}

std::uint8_t bitmap_byte(int column, int y) {
  int byte = 0;
  for (int pixel = 0; pixel < kPixelsPerByte; ++pixel)
    byte = byte << 2 | ring_value(column * kPixelsPerByte + pixel, y);
  return static_cast<std::uint8_t>(byte);
}

// Inside the disc: bands of pixel values 1, 2 and 3, four lines each.
int disc_value(int x, int y) {
  const int dx = 2 * (x - 80);
  const int dy = y - 100;
  if (dx * dx + dy * dy > 90 * 90) return 0;
  return 1 + (y / 4) % 3;
}

}  // namespace

KoalaPicture make_disc() {
  KoalaPicture disc{};
  disc[kLoadAddressOffset + 1] = 0x60;
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      for (int line = 0; line < kLinesPerCell; ++line) {
        const int y = row * kLinesPerCell + line;
        int byte = 0;
        for (int pixel = 0; pixel < kPixelsPerByte; ++pixel)
          byte = byte << 2 | disc_value(column * kPixelsPerByte + pixel, y);
        disc[cell_byte_offset(column, row, line)] = static_cast<std::uint8_t>(byte);
      }
      disc[screen_colour_offset(column, row)] = 0x17;  // white and yellow
      disc[colour_ram_offset(column, row)] = 0x02;     // red
    }
  }
  return disc;
}

KoalaPicture make_test_card() {
  KoalaPicture card{};
  card[kLoadAddressOffset] = 0x00;  // $6000, where Koala pictures load
  card[kLoadAddressOffset + 1] = 0x60;
  card[kBackgroundOffset] = 0x06;  // blue
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      for (int line = 0; line < kLinesPerCell; ++line)
        card[cell_byte_offset(column, row, line)] =
            bitmap_byte(column, row * kLinesPerCell + line);
      // Colour bands that run across each other at different slopes.
      const int high = (column / 3 + row) % 16;
      const int low = (column + row / 2 + 5) % 16;
      const int ram = (column / 5 + 2 * row + 9) % 16;
      card[screen_colour_offset(column, row)] =
          static_cast<std::uint8_t>(high << 4 | low);
      // The unused high four bits of colour RAM number the cell within its
      // row of sixteen, which keeps every cell's bytes distinct.
      card[colour_ram_offset(column, row)] =
          static_cast<std::uint8_t>((column % 16) << 4 | ram);
    }
  }
  return card;
}

}  // namespace bitmosaic
