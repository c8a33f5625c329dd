#include "formats/pair_choice.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>

#include "formats/lz_pack.h"

namespace bitmosaic {
namespace {

constexpr int kCells = kCellColumns * kCellRows;

// What the model takes a literal byte to cost, its share of the run's count
// included.
constexpr int kLiteralBits = kLzLiteralBits + 1;

// A colour byte (screen or colour RAM) costs little where it repeats its
// left or upper neighbour as the byte before it did (a run, or a match a
// row back, goes on), more where it starts such a repeat, most where it
// repeats neither. The weights, against the bitmap's bits, are those that
// packed real pictures smallest.
enum class Repeat : std::uint8_t { none, left, above };
constexpr int kColourGoesOn = 1;
constexpr int kColourRepeats = 9;
constexpr int kColourNew = 15;

// Offsets up to this are all tried; farther ones where the same two bytes
// were seen, nearest first, at most kChainSteps of them.
constexpr std::size_t kNearOffsets = 64;
constexpr int kChainSteps = 64;

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// The bitmap as decided so far, and what the packing would make of a
// cell's 8 bytes after it: literal bytes and matches into everything before
// them, the cell's own bytes included, weighed as the coding weighs them.
struct BitmapModel {
  std::array<std::uint8_t, kBitmapSize> bytes{};
  std::array<std::uint32_t, 65536> head;
  std::array<std::uint32_t, kBitmapSize> previous;

  BitmapModel() { head.fill(kNone); }

  int cost(std::size_t at, const std::array<std::uint8_t, 8>& cell) const {
    const auto byte_at = [&](std::size_t place) {
      return place < at ? bytes[place] : cell[place - at];
    };
    std::array<int, 9> best;
    best.fill(std::numeric_limits<int>::max());
    best[0] = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      best[i + 1] = std::min(best[i + 1], best[i] + kLiteralBits);
      const std::size_t place = at + i;
      std::size_t longest = 1;
      const auto weigh = [&](std::size_t offset) {
        std::size_t length = 0;
        while (i + length < 8 && byte_at(place + length - offset) == cell[i + length]) ++length;
        for (std::size_t l = longest + 1; l <= length; ++l)
          best[i + l] = std::min(best[i + l], best[i] + lz_match_bits(offset, l));
        longest = std::max(longest, length);
      };
      for (std::size_t offset = 1; offset <= std::min(place, kNearOffsets) && longest < 8 - i;
           ++offset)
        weigh(offset);
      if (i + 1 < 8 && longest < 8 - i) {
        int steps = 0;
        for (std::uint32_t from = head[cell[i] << 8 | cell[i + 1]];
             from != kNone && steps < kChainSteps && longest < 8 - i;
             from = previous[from], ++steps)
          if (place - from > kNearOffsets) weigh(place - from);
      }
    }
    return best[8];
  }

  // The cell's bytes are decided: later cells may match them.
  void decide(std::size_t at, const std::array<std::uint8_t, 8>& cell) {
    std::copy(cell.begin(), cell.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    // A pair starting at the cell's last byte is known with the next cell.
    for (std::size_t place = at == 0 ? 0 : at - 1; place + 1 < at + 8; ++place) {
      const unsigned key = bytes[place] << 8 | bytes[place + 1];
      previous[place] = head[key];
      head[key] = static_cast<std::uint32_t>(place);
    }
  }
};

// One way to show a cell: the pair each pixel value of the picture becomes,
// and the colour of each pair.
struct Way {
  std::array<std::uint8_t, 4> pair_of;
  std::array<std::uint8_t, 4> colour;
};

std::array<std::uint8_t, 8> cell_bytes(const KoalaPicture& picture, int cell, const Way& way) {
  std::array<std::uint8_t, 8> bytes;
  for (int line = 0; line < 8; ++line) {
    const std::uint8_t from = picture[kBitmapOffset + 8 * static_cast<std::size_t>(cell) + line];
    std::uint8_t to = 0;
    for (int shift = 0; shift < 8; shift += 2)
      to |= static_cast<std::uint8_t>(way.pair_of[(from >> shift) & 3] << shift);
    bytes[static_cast<std::size_t>(line)] = to;
  }
  return bytes;
}

// The six orders of the pairs 01, 10, 11.
constexpr std::uint8_t kOrders[6][3] = {{1, 2, 3}, {1, 3, 2}, {2, 1, 3},
                                        {2, 3, 1}, {3, 1, 2}, {3, 2, 1}};

}  // namespace

bool choose_pairs(const KoalaPicture& picture, KoalaPicture& chosen) {
  chosen = picture;
  const std::uint8_t background = picture[kBackgroundOffset] & 0x0F;
  chosen[kBackgroundOffset] = background;
  for (int cell = 0; cell < kCells; ++cell) chosen[kColourRamOffset + cell] &= 0x0F;
  auto model = std::make_unique<BitmapModel>();
  // How each chosen colour byte repeats a neighbour: screen, colour RAM.
  std::array<std::array<Repeat, kCells>, 2> repeats{};
  for (int cell = 0; cell < kCells; ++cell) {
    const std::size_t at = 8 * static_cast<std::size_t>(cell);
    const int column = cell % kCellColumns;
    const int row = cell / kCellColumns;
    // The pixel values the cell uses, and their colours.
    unsigned used = 0;
    for (int line = 0; line < 8; ++line) {
      const std::uint8_t byte = picture[kBitmapOffset + at + line];
      for (int shift = 0; shift < 8; shift += 2) used |= 1u << ((byte >> shift) & 3);
    }
    std::array<std::uint8_t, 4> own{background, 0, 0, 0};
    for (int value = 1; value < 4; ++value)
      own[value] = static_cast<std::uint8_t>(pixel_colour(chosen, column, row, value));
    // Its colours shown by pairs other than 00, each once.
    std::array<std::uint8_t, 3> colours{};
    std::array<int, 4> colour_index{-1, -1, -1, -1};
    int count = 0;
    for (int value = 1; value < 4; ++value) {
      if (!(used >> value & 1)) continue;
      int index = 0;
      while (index < count && colours[index] != own[value]) ++index;
      if (index == count) colours[count++] = own[value];
      colour_index[value] = index;
    }

    // What a colour byte costs after the one before it in its part, and how
    // it repeats.
    const auto colour_cost = [&](int part, std::uint8_t value, Repeat& repeat) {
      const std::size_t offset = part == 0 ? kScreenColourOffset : kColourRamOffset;
      const Repeat before = column > 0 ? repeats[part][cell - 1] : Repeat::none;
      const bool as_left = column > 0 && chosen[offset + cell - 1] == value;
      const bool as_above = row > 0 && chosen[offset + cell - kCellColumns] == value;
      repeat = as_left ? Repeat::left : as_above ? Repeat::above : Repeat::none;
      if ((as_left && before == Repeat::left) || (as_above && before == Repeat::above)) {
        repeat = before;
        return kColourGoesOn;
      }
      return repeat == Repeat::none ? kColourNew : kColourRepeats;
    };
    Way best{};
    int best_cost = std::numeric_limits<int>::max();
    std::array<Repeat, 2> best_repeats{};
    const auto weigh = [&](const Way& way) {
      std::array<Repeat, 2> way_repeats;
      const int cost =
          model->cost(at, cell_bytes(picture, cell, way)) +
          colour_cost(0, static_cast<std::uint8_t>(way.colour[1] << 4 | way.colour[2]),
                      way_repeats[0]) +
          colour_cost(1, way.colour[3], way_repeats[1]);
      if (cost < best_cost) best = way, best_cost = cost, best_repeats = way_repeats;
    };
    // One colour has three ways (its pair), none one.
    const int orders = count == 0 ? 1 : 6;
    for (int o = 0; o < orders; o += count == 1 ? 2 : 1) {
      const auto& order = kOrders[o];
      // The pairs of the cell's colours; the others take the colours of the
      // same pairs in the cell to the left, else above, else keep theirs,
      // and where there is a cell above too, its colours are tried as well.
      Way way{{0, 0, 0, 0}, {background, 0, 0, 0}};
      std::array<bool, 4> taken{};
      for (int value = 1; value < 4; ++value)
        if (colour_index[value] >= 0) {
          const std::uint8_t pair = order[colour_index[value]];
          way.pair_of[value] = pair;
          way.colour[pair] = colours[colour_index[value]];
          taken[pair] = true;
        }
      const auto free_pairs_from = [&](int from_column, int from_row) {
        for (int pair = 1; pair < 4; ++pair)
          if (!taken[pair])
            way.colour[pair] =
                from_column < 0 ? own[pair]
                                : static_cast<std::uint8_t>(
                                      pixel_colour(chosen, from_column, from_row, pair));
      };
      if (column > 0)
        free_pairs_from(column - 1, row);
      else if (row > 0)
        free_pairs_from(column, row - 1);
      else
        free_pairs_from(-1, -1);
      weigh(way);
      if (column > 0 && row > 0 && count < 3) {
        free_pairs_from(column, row - 1);
        weigh(way);
      }
    }
    const std::array<std::uint8_t, 8> bytes = cell_bytes(picture, cell, best);
    std::copy(bytes.begin(), bytes.end(), chosen.begin() + kBitmapOffset + at);
    chosen[kScreenColourOffset + cell] =
        static_cast<std::uint8_t>(best.colour[1] << 4 | best.colour[2]);
    chosen[kColourRamOffset + cell] = best.colour[3];
    repeats[0][cell] = best_repeats[0];
    repeats[1][cell] = best_repeats[1];
    model->decide(at, bytes);
  }
  std::array<std::uint8_t, kKoalaFileSize> own = picture;
  own[kBackgroundOffset] &= 0x0F;
  for (int cell = 0; cell < kCells; ++cell) own[kColourRamOffset + cell] &= 0x0F;
  return own != chosen;
}

}  // namespace bitmosaic
