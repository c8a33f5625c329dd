#include "convert/cell_colours.h"

#include <algorithm>
#include <cmath>

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

// How many mixes with a new colour each free place weighs whole.
constexpr int kMixesWeighed = 3;

// The best mix of colours a and b (in linear light) for the colour t, by
// the metric m at t: its share of b, and the metric's error.
float best_share(const ConversionTarget& target, const float* t, const float* m, int a, int b,
                 float& error) {
  const float* pa = target.colour[a];
  const float* pb = target.colour[b];
  const float d[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
  const float r[3] = {t[0] - pa[0], t[1] - pa[1], t[2] - pa[2]};
  const float span = quadratic(m, d[0], d[1], d[2]);
  float share = 0;
  if (span > 0) {
    float md[3];
    apply_matrix(m, d, md);
    share = std::clamp((r[0] * md[0] + r[1] * md[1] + r[2] * md[2]) / span, 0.0f, 1.0f);
  }
  error = quadratic(m, r[0] - share * d[0], r[1] - share * d[1], r[2] - share * d[2]);
  return share;
}

// How far that mix lies from t, by CIEDE2000 itself: the metric of a large
// difference misleads (by it, light red and green mixed to grey come near a
// saturated orange), so it only finds the share and the mixes worth this.
double mix_distance(const ConversionTarget& target, const float* t, const Lab& t_lab,
                    const float* m, int a, int b) {
  float error;
  const float share = best_share(target, t, m, a, b, error);
  const float* pa = target.colour[a];
  const float* pb = target.colour[b];
  float mix[3];
  for (std::size_t c = 0; c < 3; ++c) mix[c] = pa[c] + share * (pb[c] - pa[c]);
  return ciede2000(linear_to_lab(mix), t_lab);
}

// A cell keeps a place free when its pixels want fewer than three colours
// of their own (a repeat), or when no pixel shows one of its colours
// without dithering (then any colour served as well, and the first came).
// Left so, the cell can only be flat where its neighbours dither, a square
// block in their texture: each free place takes the colour that mixes best
// with one the cell shows towards the cell's mean colour, where that mix
// comes nearer than the cell's colours do now.
void fill_cell(const ConversionTarget& target, int cell, CellColours& colours) {
  bool shown[4] = {true, false, false, false};  // the background is always there to mix with
  float t[3] = {0, 0, 0};
  int inside = 0;
  for (int j = 0; j < kCellPixels; ++j) {
    const std::size_t q = cell_pixel(cell, j);
    if (target.outside[q]) continue;
    for (std::size_t c = 0; c < 3; ++c) t[c] += target.rgb[3 * q + c];
    ++inside;
    std::size_t best = 0;  // as nearest_colours chooses
    float best_cost = plain_cost(target, q, colours[0]);
    for (std::size_t i = 1; i < 4; ++i) {
      const float cost = plain_cost(target, q, colours[i]);
      if (cost < best_cost) best_cost = cost, best = i;
    }
    shown[best] = true;
  }
  if (inside == 0 || (shown[1] && shown[2] && shown[3])) return;
  for (float& v : t) v /= static_cast<float>(inside);
  float m[6];
  ciede2000_metric(t, m);
  const Lab t_lab = linear_to_lab(t);
  double now = HUGE_VAL;
  for (std::size_t x = 0; x < 4; ++x)
    for (std::size_t y = x; y < 4; ++y)
      if (shown[x] && shown[y])
        now = std::min(now, mix_distance(target, t, t_lab, m, colours[x], colours[y]));
  for (std::size_t place = 1; place < 4; ++place) {
    if (shown[place]) continue;
    struct Mix {
      float error;
      std::uint8_t with, colour;
    };
    Mix mixes[64];
    int count = 0;
    for (int k = 0; k < 16; ++k) {
      bool taken = false;
      for (std::size_t i = 0; i < 4; ++i) taken = taken || (shown[i] && colours[i] == k);
      if (taken) continue;
      for (std::size_t i = 0; i < 4; ++i) {
        if (!shown[i]) continue;
        Mix& mix = mixes[count++];
        best_share(target, t, m, colours[i], k, mix.error);
        mix.with = colours[i];
        mix.colour = static_cast<std::uint8_t>(k);
      }
    }
    const int weighed = std::min(count, kMixesWeighed);
    std::partial_sort(mixes, mixes + weighed, mixes + count,
                      [](const Mix& x, const Mix& y) { return x.error < y.error; });
    int best = -1;
    for (int i = 0; i < weighed; ++i) {
      const double distance = mix_distance(target, t, t_lab, m, mixes[i].with, mixes[i].colour);
      if (distance < now) now = distance, best = mixes[i].colour;
    }
    if (best < 0) return;
    colours[place] = static_cast<std::uint8_t>(best);
    shown[place] = true;
  }
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

void fill_free_places(const ConversionTarget& target, std::vector<CellColours>& cells) {
  for (int cell = 0; cell < kCells; ++cell)
    fill_cell(target, cell, cells[static_cast<std::size_t>(cell)]);
}

}  // namespace bitmosaic
