#include "convert/blur_search.h"

#include <algorithm>
#include <vector>

#include "convert/blur_search_internal.h"

namespace bitmosaic {
namespace {

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

}  // namespace

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
