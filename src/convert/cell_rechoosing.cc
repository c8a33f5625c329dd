#include "convert/blur_search_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bitmosaic {
namespace {

// How many colours a cell tries its sets of three among: the ones it shows
// and those its pixels want most.
constexpr int kCandidates = 5;

// change_cost from the pixel's colour to every colour, written so that the
// compiler takes four colours a step.
void change_costs(const Search& s, std::size_t q, float* __restrict out) {
  const float* a = s.target->colour[(*s.grid)[q]];
  const float* c = &s.field[3 * q];
  const float* m = &s.metric[6 * q];
  const float self = s.self[q];
  const float c0 = 2 * c[0], c1 = 2 * c[1], c2 = 2 * c[2];
  const float m0 = self * m[0], m1 = self * m[1], m2 = self * m[2];
  const float m3 = 2 * self * m[3], m4 = 2 * self * m[4], m5 = 2 * self * m[5];
  for (int k = 0; k < 16; ++k) {
    const float d0 = s.red[k] - a[0], d1 = s.green[k] - a[1], d2 = s.blue[k] - a[2];
    out[k] = c0 * d0 + c1 * d1 + c2 * d2 + m0 * d0 * d0 + m1 * d1 * d1 + m2 * d2 * d2 +
             m3 * d0 * d1 + m4 * d0 * d2 + m5 * d1 * d2;
  }
}

// The window of c that changes at a cell's pixels touch, kept to undo them.
struct FieldWindow {
  int x0, x1, y0, y1;
  float saved[(kLinesPerCell + 2 * kReachY) * (kPixelsPerByte + 2 * kReachX) * 3];
};

void save_window(const Search& s, int cell, FieldWindow& window) {
  const int cx = cell % kCellColumns * kPixelsPerByte, cy = cell / kCellColumns * kLinesPerCell;
  window.x0 = std::max(0, cx - kReachX);
  window.x1 = std::min(kPixelColumns - 1, cx + kPixelsPerByte - 1 + kReachX);
  window.y0 = std::max(0, cy - kReachY);
  window.y1 = std::min(kHigh - 1, cy + kLinesPerCell - 1 + kReachY);
  float* to = window.saved;
  for (int y = window.y0; y <= window.y1; ++y) {
    const float* from = &s.field[3 * static_cast<std::size_t>(y * kPixelColumns + window.x0)];
    const std::size_t count = 3 * static_cast<std::size_t>(window.x1 - window.x0 + 1);
    std::memcpy(to, from, sizeof(float) * count);
    to += count;
  }
}

void restore_window(Search& s, const FieldWindow& window) {
  const float* from = window.saved;
  for (int y = window.y0; y <= window.y1; ++y) {
    float* to = &s.field[3 * static_cast<std::size_t>(y * kPixelColumns + window.x0)];
    const std::size_t count = 3 * static_cast<std::size_t>(window.x1 - window.x0 + 1);
    std::memcpy(to, from, sizeof(float) * count);
    from += count;
  }
}

// Gives the cell the colours `set` for real: the pixels whose colour leaves
// take the best of the set, then each pixel may change twice more. Kept
// only where the error fell; otherwise the cell is as it was.
bool try_colours(Search& s, int cell, const CellColours& set) {
  const ConversionTarget& t = *s.target;
  std::uint8_t saved_grid[kCellPixels];
  for (int j = 0; j < kCellPixels; ++j) saved_grid[j] = (*s.grid)[cell_pixel(cell, j)];
  FieldWindow window;
  save_window(s, cell, window);
  float total = 0;
  for (int round = 0; round < 3; ++round)
    for (int j = 0; j < kCellPixels; ++j) {
      const std::size_t q = cell_pixel(cell, j);
      if (t.outside[q]) continue;
      const int from = (*s.grid)[q];
      const bool must = std::find(set.begin(), set.end(), from) == set.end();
      int to = from;
      float to_cost = must ? HUGE_VALF : -1e-9f;
      for (const std::uint8_t k : set) {
        if (k == from) continue;
        const float cost = change_cost(s, q, from, k);
        if (cost < to_cost) to_cost = cost, to = k;
      }
      if (to != from) {
        change(s, q, to);
        total += to_cost;
      }
    }
  if (total < 0) {
    (*s.cells)[static_cast<std::size_t>(cell)] = set;
    return true;
  }
  for (int j = 0; j < kCellPixels; ++j) (*s.grid)[cell_pixel(cell, j)] = saved_grid[j];
  restore_window(s, window);
  return false;
}

}  // namespace

// Each cell weighs other sets of colours by what its pixels would gain each
// on its own (everything around them as it is); the most promising set is
// taken for real, its pixels settled, and kept only where the error fell.
//
// Gains one by one overrate a set that moves every pixel at once: a flat
// cell whose pixels would each gain by orange or brown is told to drop its
// green altogether, and that set fails for real. So where the most
// promising set fails, a cell that shows fewer than three colours of its
// own (a colour no pixel shows, or a repeat) also tries one that keeps the
// colours it shows and fills its free places with the most promising
// others: no pixel has to move for that, so it cannot make the picture
// worse, and it lets a flat cell take up its neighbours' dither.
void rechoose_cells(Search& s) {
  const ConversionTarget& t = *s.target;
  for (int cell = 0; cell < kCells; ++cell) {
    const CellColours colours = (*s.cells)[static_cast<std::size_t>(cell)];
    float gain[16][kCellPixels];
    bool any = false;
    bool shown[16] = {};
    for (int j = 0; j < kCellPixels; ++j) {
      const std::size_t q = cell_pixel(cell, j);
      float costs[16] = {};
      if (!t.outside[q]) {
        change_costs(s, q, costs);
        costs[(*s.grid)[q]] = 0;
        shown[(*s.grid)[q]] = true;
        any = true;
      }
      for (int k = 0; k < 16; ++k) gain[k][j] = costs[k];
    }
    if (!any) continue;
    const std::uint8_t background = colours[0];
    float benefit[16];
    for (int k = 0; k < 16; ++k) {
      benefit[k] = 0;
      for (int j = 0; j < kCellPixels; ++j) benefit[k] += std::min(0.0f, gain[k][j]);
    }
    std::uint8_t candidates[kCandidates];
    int count = 0;
    const auto add = [&](std::uint8_t k) {
      if (count < kCandidates && k != background &&
          std::find(candidates, candidates + count, k) == candidates + count)
        candidates[count++] = k;
    };
    for (std::size_t i = 1; i < 4; ++i) add(colours[i]);
    std::uint8_t order[16];
    for (int k = 0; k < 16; ++k) order[k] = static_cast<std::uint8_t>(k);
    std::stable_sort(order, order + 16,
                     [&](std::uint8_t x, std::uint8_t y) { return benefit[x] < benefit[y]; });
    for (const std::uint8_t k : order) add(k);
    const auto estimate = [&](const CellColours& set) {
      float total = 0;
      for (int j = 0; j < kCellPixels; ++j)
        total += std::min(std::min(gain[set[0]][j], gain[set[1]][j]),
                          std::min(gain[set[2]][j], gain[set[3]][j]));
      return total;
    };
    CellColours best = colours;
    float best_estimate = estimate(colours);
    for (int x = 0; x < count; ++x)
      for (int y = x + 1; y < count; ++y)
        for (int z = y + 1; z < count; ++z) {
          const CellColours set = {background, candidates[x], candidates[y], candidates[z]};
          const float e = estimate(set);
          if (e < best_estimate) best_estimate = e, best = set;
        }
    if (best != colours && try_colours(s, cell, best)) continue;
    // The colours the cell shows stay; each free place in turn takes the
    // candidate that promises most.
    CellColours filled = {background, background, background, background};
    std::size_t place = 1;
    for (std::size_t i = 1; i < 4; ++i)
      if (colours[i] != background && shown[colours[i]] &&
          std::find(filled.begin() + 1, filled.begin() + place, colours[i]) ==
              filled.begin() + place)
        filled[place++] = colours[i];
    if (place == 4) continue;
    for (; place < 4; ++place) {
      const auto end = filled.begin() + static_cast<std::ptrdiff_t>(place);
      CellColours trial = filled;
      float best_fill = HUGE_VALF;
      for (int i = 0; i < count; ++i) {
        if (std::find(filled.begin() + 1, end, candidates[i]) != end) continue;
        trial[place] = candidates[i];
        const float e = estimate(trial);
        if (e < best_fill) best_fill = e, filled[place] = candidates[i];
      }
    }
    if (filled != colours) try_colours(s, cell, filled);
  }
}

}  // namespace bitmosaic
