#include "convert/dither.h"

#include <algorithm>

namespace bitmosaic {
namespace {

const CellColours& colours_at(const std::vector<CellColours>& cells, std::size_t q) {
  const int x = static_cast<int>(q % kPixelColumns), y = static_cast<int>(q / kPixelColumns);
  return cells[cell_index(x / kPixelsPerByte, y / kLinesPerCell)];
}

void nearest_colours(const ConversionTarget& target, const std::vector<CellColours>& cells,
                     ColourGrid& grid) {
  for (std::size_t q = 0; q < kPictureArea; ++q) {
    const CellColours& colours = colours_at(cells, q);
    int best = colours[0];
    if (!target.outside[q]) {
      float best_cost = plain_cost(target, q, best);
      for (std::size_t i = 1; i < 4; ++i) {
        const float cost = plain_cost(target, q, colours[i]);
        if (cost < best_cost) best_cost = cost, best = colours[i];
      }
    }
    grid[q] = static_cast<std::uint8_t>(best);
  }
}

// Error diffusion kernels: where the error of a pixel goes, in the
// direction of travel, and how much of it.
struct Spread {
  int dx, dy;
  float share;
};

struct Diffusion {
  Dither mode;
  bool serpentine;  // every other line right to left
  int count;
  Spread spread[6];
};

constexpr Diffusion kDiffusions[] = {
    {Dither::floyd, true, 4, {{1, 0, 7 / 16.f}, {-1, 1, 3 / 16.f}, {0, 1, 5 / 16.f},
                              {1, 1, 1 / 16.f}}},
    // Atkinson passes on only three quarters: highlights and shadows stay clean.
    {Dither::atkinson, false, 6, {{1, 0, 1 / 8.f}, {2, 0, 1 / 8.f}, {-1, 1, 1 / 8.f},
                                  {0, 1, 1 / 8.f}, {1, 1, 1 / 8.f}, {0, 2, 1 / 8.f}}},
};

// The error is carried in linear light; the colour is chosen in CIELAB with
// CIEDE2000's weights at the pixel's own colour. What the cell cannot show
// keeps piling up as error, so the wanted colour is held inside the range
// of light.
void diffuse_errors(const ConversionTarget& target, const std::vector<CellColours>& cells,
                    const Diffusion& diffusion, ColourGrid& grid) {
  std::vector<float> error(3 * kPictureArea, 0.0f);
  for (int y = 0; y < kPixelLines; ++y) {
    const bool backwards = diffusion.serpentine && y % 2 == 1;
    for (int i = 0; i < kPixelColumns; ++i) {
      const int x = backwards ? kPixelColumns - 1 - i : i;
      const std::size_t q = static_cast<std::size_t>(y * kPixelColumns + x);
      const CellColours& colours = colours_at(cells, q);
      if (target.outside[q]) {
        grid[q] = colours[0];
        continue;
      }
      float want[3];
      for (std::size_t c = 0; c < 3; ++c)
        want[c] = std::clamp(target.rgb[3 * q + c] + error[3 * q + c], 0.0f, 1.0f);
      const Lab lab = linear_to_lab(want);
      const float* w = &target.weights[4 * q];
      int best = colours[0];
      float best_cost = 0;
      for (std::size_t s = 0; s < 4; ++s) {
        const Lab& c = target.colour_lab[colours[s]];
        const auto dl = static_cast<float>(c.lightness - lab.lightness);
        const auto da = static_cast<float>(c.a - lab.a), db = static_cast<float>(c.b - lab.b);
        const float cost = w[0] * dl * dl + w[1] * da * da + w[2] * db * db + 2 * w[3] * da * db;
        if (s == 0 || cost < best_cost) best_cost = cost, best = colours[s];
      }
      grid[q] = static_cast<std::uint8_t>(best);
      for (int n = 0; n < diffusion.count; ++n) {
        const Spread& s = diffusion.spread[n];
        const int tx = backwards ? x - s.dx : x + s.dx;
        const int ty = y + s.dy;
        if (tx < 0 || tx >= kPixelColumns || ty >= kPixelLines) continue;
        const std::size_t t = static_cast<std::size_t>(ty * kPixelColumns + tx);
        for (std::size_t c = 0; c < 3; ++c)
          error[3 * t + c] += s.share * (want[c] - target.colour[best][c]);
      }
    }
  }
}

// Ordered dithering: each pixel's colour is the mix of two of its cell's
// colours (in linear light) nearest to it, with a little weight against
// mixing colours far apart, whose pattern the eye sees; the threshold
// matrix, one cell of it a multicolour pixel, picks which of the two shows.
void ordered_dither(const ConversionTarget& target, const std::vector<CellColours>& cells, int size,
                    ColourGrid& grid) {
  int matrix[8][8] = {};
  for (int n = 1; n < size; n *= 2)  // Bayer's recursion: M(2n) from M(n)
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const int v = 4 * matrix[y][x];
        matrix[y][x] = v;
        matrix[y][x + n] = v + 2;
        matrix[y + n][x] = v + 3;
        matrix[y + n][x + n] = v + 1;
      }
  constexpr float kPatternWeight = 0.1f;
  for (std::size_t q = 0; q < kPictureArea; ++q) {
    const CellColours& colours = colours_at(cells, q);
    if (target.outside[q]) {
      grid[q] = colours[0];
      continue;
    }
    const float* t = &target.rgb[3 * q];
    float m[6];
    ciede2000_metric(t, m);
    int low = colours[0], high = colours[0];
    float mix = 0, best = 0;
    for (std::size_t a = 0; a < 4; ++a)
      for (std::size_t b = a; b < 4; ++b) {
        const float* pa = target.colour[colours[a]];
        const float* pb = target.colour[colours[b]];
        const float d[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
        const float r[3] = {t[0] - pa[0], t[1] - pa[1], t[2] - pa[2]};
        const float span = quadratic(m, d[0], d[1], d[2]);
        float share = 0;
        if (span > 0) {
          const float along = r[0] * (m[0] * d[0] + m[3] * d[1] + m[4] * d[2]) +
                              r[1] * (m[3] * d[0] + m[1] * d[1] + m[5] * d[2]) +
                              r[2] * (m[4] * d[0] + m[5] * d[1] + m[2] * d[2]);
          share = std::clamp(along / span, 0.0f, 1.0f);
        }
        const float cost =
            quadratic(m, r[0] - share * d[0], r[1] - share * d[1], r[2] - share * d[2]) +
            kPatternWeight * share * (1 - share) * span;
        if ((a == 0 && b == 0) || cost < best) {
          best = cost, mix = share;
          low = colours[a], high = colours[b];
        }
      }
    const int x = static_cast<int>(q % kPixelColumns), y = static_cast<int>(q / kPixelColumns);
    const float threshold =
        (static_cast<float>(matrix[y % size][x % size]) + 0.5f) / static_cast<float>(size * size);
    grid[q] = static_cast<std::uint8_t>(threshold < mix ? high : low);
  }
}

}  // namespace

void dither_cells(const ConversionTarget& target, const std::vector<CellColours>& cells,
                  Dither mode, ColourGrid& grid) {
  switch (mode) {
    case Dither::bayer2:
      ordered_dither(target, cells, 2, grid);
      return;
    case Dither::bayer4:
      ordered_dither(target, cells, 4, grid);
      return;
    case Dither::bayer8:
      ordered_dither(target, cells, 8, grid);
      return;
    case Dither::floyd:
    case Dither::atkinson:
      for (const Diffusion& diffusion : kDiffusions)
        if (diffusion.mode == mode) diffuse_errors(target, cells, diffusion, grid);
      return;
    case Dither::none:
    case Dither::search:
      nearest_colours(target, cells, grid);
      return;
  }
}

}  // namespace bitmosaic
