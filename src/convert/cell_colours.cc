#include "convert/cell_colours.h"

#include <algorithm>

namespace bitmosaic {
namespace {

// How many colours a cell's triple is chosen among.
constexpr int kCandidates = 6;

struct CellTable {
  float cost[16][kCellPixels];  // plain_cost; 0 for pixels outside
  std::uint8_t ranked[16];      // colours by how many pixels want them, most first
  int wanted = 0;               // how many colours some pixel wants
};

// The cost of every colour at every pixel of the cell, and the colours the
// pixels want: the nearest counts twice, the second nearest once.
void fill_table(const ConversionTarget& target, int cell, CellTable& table) {
  float l[16], a[16], b[16];
  for (int k = 0; k < 16; ++k) {
    l[k] = static_cast<float>(target.colour_lab[k].lightness);
    a[k] = static_cast<float>(target.colour_lab[k].a);
    b[k] = static_cast<float>(target.colour_lab[k].b);
  }
  int score[16] = {};
  for (int j = 0; j < kCellPixels; ++j) {
    const std::size_t q = cell_pixel(cell, j);
    float cost[16];
    if (target.outside[q]) {
      for (int k = 0; k < 16; ++k) table.cost[k][j] = 0;
      continue;
    }
    const float tl = static_cast<float>(target.lab[q].lightness);
    const float ta = static_cast<float>(target.lab[q].a);
    const float tb = static_cast<float>(target.lab[q].b);
    const float* w = &target.weights[4 * q];
    for (int k = 0; k < 16; ++k) {  // plain_cost, four colours a step
      const float dl = l[k] - tl, da = a[k] - ta, db = b[k] - tb;
      cost[k] = w[0] * dl * dl + w[1] * da * da + w[2] * db * db + 2 * w[3] * da * db;
    }
    int first = cost[1] < cost[0] ? 1 : 0;
    int second = 1 - first;
    for (int k = 0; k < 16; ++k) {
      table.cost[k][j] = cost[k];
      if (k < 2) continue;
      if (cost[k] < cost[first])
        second = first, first = k;
      else if (cost[k] < cost[second])
        second = k;
    }
    score[first] += 2;
    score[second] += 1;
  }
  for (int k = 0; k < 16; ++k) table.ranked[k] = static_cast<std::uint8_t>(k);
  std::stable_sort(table.ranked, table.ranked + 16,
                   [&](std::uint8_t x, std::uint8_t y) { return score[x] > score[y]; });
  table.wanted = 0;
  while (table.wanted < 16 && score[table.ranked[table.wanted]] > 0) ++table.wanted;
}

struct Choice {
  CellColours colours;
  float cost;
};

// The best three colours beside the background among the candidates, each
// pixel showing the cheapest of the four.
Choice best_colours(const CellTable& table, int background) {
  std::uint8_t candidates[kCandidates];
  int count = 0;
  for (int i = 0; i < table.wanted && count < kCandidates; ++i)
    if (table.ranked[i] != background) candidates[count++] = table.ranked[i];
  // Fewer than three wanted: the set repeats one (a bit pair left unused).
  const auto back = static_cast<std::uint8_t>(background);
  const std::uint8_t filler = count > 0 ? candidates[0] : back;
  while (count < 3) candidates[count++] = filler;
  const float* base = table.cost[background];
  Choice best = {{back, back, back, back}, 0};
  bool first = true;
  for (int x = 0; x < count; ++x) {
    float with_x[kCellPixels];
    for (int j = 0; j < kCellPixels; ++j)
      with_x[j] = std::min(base[j], table.cost[candidates[x]][j]);
    for (int y = x + 1; y < count; ++y) {
      float with_xy[kCellPixels];
      for (int j = 0; j < kCellPixels; ++j)
        with_xy[j] = std::min(with_x[j], table.cost[candidates[y]][j]);
      for (int z = y + 1; z < count; ++z) {
        float total = 0;
        for (int j = 0; j < kCellPixels; ++j)
          total += std::min(with_xy[j], table.cost[candidates[z]][j]);
        if (first || total < best.cost) {
          best = {{back, candidates[x], candidates[y], candidates[z]}, total};
          first = false;
        }
      }
    }
  }
  return best;
}

// A quarter of the cells, spread over the picture, for the first look at
// every background.
bool sampled(int cell) { return (cell % kCellColumns + 2 * (cell / kCellColumns)) % 4 == 0; }

}  // namespace

int choose_colours(const ConversionTarget& target, int fixed_background,
                   std::vector<CellColours>& cells) {
  // Every background is scored on a quarter of the cells; the three best
  // (and any tied with the third) on all of them. A picture that is already
  // legal costs nothing with its own background, so that one always wins.
  std::vector<int> shortlist;
  CellTable table;
  if (fixed_background >= 0 && fixed_background < 16) {
    shortlist.push_back(fixed_background);
  } else {
    double first_look[16] = {};
    for (int cell = 0; cell < kCells; ++cell) {
      if (!sampled(cell)) continue;
      fill_table(target, cell, table);
      for (int background = 0; background < 16; ++background)
        first_look[background] += best_colours(table, background).cost;
    }
    int order[16];
    for (int k = 0; k < 16; ++k) order[k] = k;
    std::stable_sort(order, order + 16,
                     [&](int x, int y) { return first_look[x] < first_look[y]; });
    for (int i = 0; i < 16; ++i)
      if (i < 3 || first_look[order[i]] <= first_look[order[2]]) shortlist.push_back(order[i]);
  }
  std::vector<CellColours> trial(shortlist.size() * kCells);
  std::vector<double> total(shortlist.size(), 0.0);
  for (int cell = 0; cell < kCells; ++cell) {
    fill_table(target, cell, table);
    for (std::size_t i = 0; i < shortlist.size(); ++i) {
      const Choice choice = best_colours(table, shortlist[i]);
      trial[i * kCells + static_cast<std::size_t>(cell)] = choice.colours;
      total[i] += choice.cost;
    }
  }
  std::size_t best = 0;
  for (std::size_t i = 1; i < shortlist.size(); ++i)
    if (total[i] < total[best]) best = i;
  const auto from = trial.begin() + static_cast<std::ptrdiff_t>(best * kCells);
  cells.assign(from, from + kCells);
  return shortlist[best];
}

}  // namespace bitmosaic
