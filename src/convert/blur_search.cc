#include "convert/blur_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bitmosaic {
namespace {

// The blurred error: e = G (shown - image) at every hires pixel p, G the
// perceived error's blur, weighed as e_p^T M_p e_p with M_p CIEDE2000's
// metric (ciede2000_metric) halfway between the blurred image and the
// blurred picture there: the metric of a difference that is not small is
// best taken at its middle. Changing multicolour pixel q by d (linear light,
// on both its hires pixels) changes the sum by
//   2 d.c_q + s_q d^T M_q d,
// where c = K^T M e (K: the blur of one multicolour pixel) and s_q the sum of
// K's squares. Keeping c up to date after a change costs a small window,
// which makes trying a colour cheap and taking it not much dearer; a refresh
// now and then recomputes c from scratch.

constexpr int kWide = LinearImage::kWidth;
constexpr int kHigh = LinearImage::kHeight;
constexpr int kBlurRadius = 4;
constexpr int kTaps = 2 * kBlurRadius + 1;
constexpr int kRow = 3 * kWide;        // floats in a hires row
constexpr int kPad = 3 * kBlurRadius;  // floats beyond each end of a padded row
// How far the blur of one multicolour pixel overlaps another's by more than
// a thousandth of its own weight: 3 pixels across, 5 lines down.
constexpr int kReachX = 3;
constexpr int kReachY = 5;
// How many colours a cell tries its sets of three among: the ones it shows
// and those its pixels want most.
constexpr int kCandidates = 5;

struct Kernel {
  float weight[kTaps];
};

Kernel blur_kernel() {
  Kernel kernel{};
  double sum = 0;
  for (int i = -kBlurRadius; i <= kBlurRadius; ++i) sum += std::exp(-i * i / 2.0);
  for (int i = -kBlurRadius; i <= kBlurRadius; ++i)
    kernel.weight[i + kBlurRadius] = static_cast<float>(std::exp(-i * i / 2.0) / sum);
  return kernel;
}

// to[s] += weight * from[s] along a row: the one loop both blurs are made of,
// four floats a step.
void add_scaled(float* __restrict to, const float* __restrict from, float weight) {
  for (int s = 0; s < kRow; ++s) to[s] += weight * from[s];
}

// Blurs a hires image of linear red, green and blue in place, the border
// repeated as the perceived error takes it; `rows` is scratch of its size.
void blur(float* image, float* rows) {
  const Kernel kernel = blur_kernel();
  alignas(16) float padded[kRow + 2 * kPad];
  for (int y = 0; y < kHigh; ++y) {
    const float* src = image + y * kRow;
    std::memcpy(padded + kPad, src, sizeof(float) * kRow);
    for (int i = 0; i < kBlurRadius; ++i)
      for (int c = 0; c < 3; ++c) {
        padded[3 * i + c] = src[c];
        padded[kPad + kRow + 3 * i + c] = src[kRow - 3 + c];
      }
    float* dst = rows + y * kRow;
    std::fill(dst, dst + kRow, 0.0f);
    for (int i = 0; i < kTaps; ++i) add_scaled(dst, padded + 3 * i, kernel.weight[i]);
  }
  for (int y = 0; y < kHigh; ++y) {
    float* dst = image + y * kRow;
    std::fill(dst, dst + kRow, 0.0f);
    for (int i = 0; i < kTaps; ++i)
      add_scaled(dst, rows + std::clamp(y + i - kBlurRadius, 0, kHigh - 1) * kRow,
                 kernel.weight[i]);
  }
}

// The transpose of blur, with the two hires results of each multicolour
// pixel added: `out` has 3 floats a multicolour pixel. `rows` is scratch.
void blur_back_to_pixels(const float* in, float* out, float* rows) {
  const Kernel kernel = blur_kernel();
  std::fill(rows, rows + 3 * kHiresPixels, 0.0f);
  for (int y = 0; y < kHigh; ++y)
    for (int i = 0; i < kTaps; ++i)
      add_scaled(rows + std::clamp(y + i - kBlurRadius, 0, kHigh - 1) * kRow, in + y * kRow,
                 kernel.weight[i]);
  alignas(16) float padded[kRow + 2 * kPad];
  for (int y = 0; y < kHigh; ++y) {
    std::fill(padded, padded + kRow + 2 * kPad, 0.0f);
    for (int i = 0; i < kTaps; ++i)
      add_scaled(padded + 3 * (kTaps - 1 - i), rows + y * kRow, kernel.weight[i]);
    for (int i = 0; i < kBlurRadius; ++i)  // what fell beyond the border belongs to it
      for (int c = 0; c < 3; ++c) {
        padded[kPad + c] += padded[3 * i + c];
        padded[kPad + kRow - 3 + c] += padded[kPad + kRow + 3 * i + c];
      }
    float* dst = out + y * 3 * kPixelColumns;
    for (int x = 0; x < kPixelColumns; ++x)
      for (int c = 0; c < 3; ++c)
        dst[3 * x + c] = padded[kPad + 6 * x + c] + padded[kPad + 6 * x + 3 + c];
  }
}

// How much the blurs of two pixels overlap along one axis: the sum over
// hires positions of the products of their blur weights, the border
// repeated; `span` hires pixels make one pixel on that axis.
template <int kCount, int kReach>
void overlaps(int span, float (&out)[kCount][2 * kReach + 1]) {
  const Kernel kernel = blur_kernel();
  const int hires = kCount * span;
  std::vector<float> weight(static_cast<std::size_t>(kCount * hires), 0.0f);  // [pixel][position]
  for (int position = 0; position < hires; ++position)
    for (int i = 0; i < kTaps; ++i) {
      const int pixel = std::clamp(position + i - kBlurRadius, 0, hires - 1) / span;
      weight[static_cast<std::size_t>(pixel * hires + position)] += kernel.weight[i];
    }
  for (int pixel = 0; pixel < kCount; ++pixel)
    for (int d = -kReach; d <= kReach; ++d) {
      const int other = pixel + d;
      float total = 0;
      if (other >= 0 && other < kCount)
        for (int position = std::max(0, span * pixel - kBlurRadius);
             position < std::min(hires, span * (pixel + 1) + kBlurRadius); ++position)
          total += weight[static_cast<std::size_t>(pixel * hires + position)] *
                   weight[static_cast<std::size_t>(other * hires + position)];
      out[pixel][d + kReach] = total;
    }
}

struct Search {
  const LinearImage* image;
  const ConversionTarget* target;
  std::vector<CellColours>* cells;
  ColourGrid* grid;
  std::vector<float> blurred;  // the blurred image, 3 a multicolour pixel (mean of its two)
  std::vector<float> metric;   // M, 6 a multicolour pixel
  std::vector<float> field;    // c, 3 a multicolour pixel
  std::vector<float> self;     // s, the overlap of each pixel's blur with itself
  std::vector<float> work[2];  // hires scratch
  float across[kPixelColumns][2 * kReachX + 1];
  float down[kHigh][2 * kReachY + 1];
  float red[16], green[16], blue[16];  // the palette, colour by colour
  std::vector<std::uint8_t> dirty;     // cells whose costs moved since their last visit
};

bool hires_outside(const Search& s, std::size_t h) {
  return !s.image->outside.empty() && s.image->outside[h] != 0;
}

// Recomputes c from scratch (changes keep it only nearly right), and with
// `metrics` the metrics too, at the middles as they are now.
void refresh(Search& s, bool metrics) {
  const ConversionTarget& t = *s.target;
  float* error = s.work[0].data();
  for (std::size_t h = 0; h < kHiresPixels; ++h) {
    const float* colour = t.colour[(*s.grid)[h / 2]];
    for (std::size_t c = 0; c < 3; ++c)  // outside, the background is what should show
      error[3 * h + c] = hires_outside(s, h) ? 0.0f : colour[c] - s.image->rgb[3 * h + c];
  }
  blur(error, s.work[1].data());
  float* weighted = s.work[1].data();
  for (std::size_t q = 0; q < kPictureArea; ++q) {
    const float* e = &error[6 * q];
    float* m = &s.metric[6 * q];
    if (metrics) {
      float middle[3];
      for (std::size_t c = 0; c < 3; ++c)
        middle[c] = std::clamp(s.blurred[3 * q + c] + (e[c] + e[3 + c]) / 4, 0.0f, 1.0f);
      ciede2000_metric(middle, m);
    }
    apply_matrix(m, e, &weighted[6 * q]);
    apply_matrix(m, e + 3, &weighted[6 * q + 3]);
  }
  blur_back_to_pixels(weighted, s.field.data(), s.work[0].data());
  std::fill(s.dirty.begin(), s.dirty.end(), 1);
}

// What showing colour `to` instead of `from` at pixel q adds to the error.
inline float change_cost(const Search& s, std::size_t q, int from, int to) {
  const float* a = s.target->colour[from];
  const float* b = s.target->colour[to];
  const float d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float* c = &s.field[3 * q];
  return 2 * (d[0] * c[0] + d[1] * c[1] + d[2] * c[2]) +
         s.self[q] * quadratic(&s.metric[6 * q], d[0], d[1], d[2]);
}

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

// Shows colour `to` at pixel q, and brings c up to date around it.
void change(Search& s, std::size_t q, int to) {
  const float* a = s.target->colour[(*s.grid)[q]];
  const float* b = s.target->colour[to];
  const float d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  float v[3];
  apply_matrix(&s.metric[6 * q], d, v);
  (*s.grid)[q] = static_cast<std::uint8_t>(to);
  const int x = static_cast<int>(q % kPixelColumns), y = static_cast<int>(q / kPixelColumns);
  const int x0 = std::max(0, x - kReachX), x1 = std::min(kPixelColumns - 1, x + kReachX);
  const int y0 = std::max(0, y - kReachY), y1 = std::min(kHigh - 1, y + kReachY);
  for (int row = y0 / kLinesPerCell; row <= y1 / kLinesPerCell; ++row)
    for (int column = x0 / kPixelsPerByte; column <= x1 / kPixelsPerByte; ++column)
      s.dirty[cell_index(column, row)] = 1;
  // The change along the row, one more pixel of zeros on the right so that
  // a row is 24 floats: six steps of four.
  constexpr int kSpan = 2 * kReachX + 2;
  float pattern[3 * kSpan] = {};
  for (int i = 0; i < 2 * kReachX + 1; ++i)
    for (int c = 0; c < 3; ++c) pattern[3 * i + c] = s.across[x][i] * v[c];
  const bool inside = x - kReachX >= 0 && x - kReachX + kSpan <= kPixelColumns;
  for (int ty = y0; ty <= y1; ++ty) {
    const float wy = s.down[y][ty - y + kReachY];
    float* row = &s.field[3 * static_cast<std::size_t>(ty * kPixelColumns)];
    if (inside) {
      float* __restrict to = row + 3 * (x - kReachX);
      for (int i = 0; i < 3 * kSpan; ++i) to[i] += wy * pattern[i];
    } else {
      for (int tx = x0; tx <= x1; ++tx)
        for (int c = 0; c < 3; ++c) row[3 * tx + c] += wy * pattern[3 * (tx - x + kReachX) + c];
    }
  }
}

// One pass over the cells whose costs moved since they were last visited:
// each pixel takes the colour of its cell that lowers the error most.
void sweep(Search& s) {
  for (int cell = 0; cell < kCells; ++cell) {
    if (!s.dirty[static_cast<std::size_t>(cell)]) continue;
    s.dirty[static_cast<std::size_t>(cell)] = 0;
    const CellColours& colours = (*s.cells)[static_cast<std::size_t>(cell)];
    for (int j = 0; j < kCellPixels; ++j) {
      const std::size_t q = cell_pixel(cell, j);
      if (s.target->outside[q]) continue;
      const int from = (*s.grid)[q];
      int best = from;
      float best_cost = -1e-9f;
      for (const std::uint8_t k : colours) {
        if (k == from) continue;
        const float cost = change_cost(s, q, from, k);
        if (cost < best_cost) best_cost = cost, best = k;
      }
      if (best != from) change(s, q, best);
    }
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

}  // namespace

void search_blurred_error(const LinearImage& image, const ConversionTarget& target,
                          std::vector<CellColours>& cells, ColourGrid& grid) {
  Search s;
  s.image = &image;
  s.target = &target;
  s.cells = &cells;
  s.grid = &grid;
  for (auto& w : s.work) w.resize(3 * kHiresPixels);
  // The blurred image, the background where the picture shows it.
  const float* background = target.colour[cells[0][0]];
  float* blurred = s.work[0].data();
  for (std::size_t h = 0; h < kHiresPixels; ++h)
    for (std::size_t c = 0; c < 3; ++c)
      blurred[3 * h + c] = hires_outside(s, h) ? background[c] : image.rgb[3 * h + c];
  blur(blurred, s.work[1].data());
  s.blurred.resize(3 * kPictureArea);
  for (std::size_t q = 0; q < kPictureArea; ++q)
    for (std::size_t c = 0; c < 3; ++c)
      s.blurred[3 * q + c] = (blurred[6 * q + c] + blurred[6 * q + 3 + c]) / 2;
  s.metric.resize(6 * kPictureArea);
  s.field.resize(3 * kPictureArea);
  s.dirty.assign(kCells, 1);
  overlaps<kPixelColumns, kReachX>(2, s.across);
  overlaps<kHigh, kReachY>(1, s.down);
  s.self.resize(kPictureArea);
  for (std::size_t q = 0; q < kPictureArea; ++q)
    s.self[q] = s.across[q % kPixelColumns][kReachX] * s.down[q / kPixelColumns][kReachY];
  for (int k = 0; k < 16; ++k)
    s.red[k] = target.colour[k][0], s.green[k] = target.colour[k][1],
    s.blue[k] = target.colour[k][2];

  // The metrics are taken once, at the middles the undithered picture gives:
  // taking them again later costs time and, on these pictures, gains
  // nothing.
  refresh(s, true);
  for (int pass = 0; pass < 3; ++pass) sweep(s);
  rechoose_cells(s);
  for (int pass = 0; pass < 2; ++pass) sweep(s);
  refresh(s, false);
  rechoose_cells(s);
  for (int pass = 0; pass < 2; ++pass) sweep(s);
}

}  // namespace bitmosaic
