#include "image/resample.h"

#include <algorithm>
#include <cmath>

#include "image/colour_space.h"

namespace bitmosaic {
namespace {

// Overlaps below this share of a target's area are rounding, not coverage:
// whole multiples must stay exact box averages.
constexpr double kNegligible = 1e-9;

void add_target(AxisWeights& axis, int first, const std::vector<double>& weights) {
  double total = 0;
  for (double weight : weights) total += weight;
  axis.first.push_back(first);
  axis.count.push_back(static_cast<int>(weights.size()));
  axis.offset.push_back(axis.weights.size());
  for (double weight : weights) axis.weights.push_back(static_cast<float>(weight / total));
}

}  // namespace

AxisWeights axis_weights(double begin, double end, int targets, int size, bool area_only) {
  AxisWeights axis;
  const double step = (end - begin) / targets;
  std::vector<double> weights;
  for (int target = 0; target < targets; ++target) {
    weights.clear();
    int first = 0;
    if (step >= 1 || area_only) {
      const double low = std::clamp(begin + target * step, 0.0, static_cast<double>(size));
      const double high = std::clamp(target + 1 == targets ? end : begin + (target + 1) * step, low,
                                     static_cast<double>(size));
      first = std::min(static_cast<int>(low), size - 1);
      for (int source = first; source < size && source < high; ++source) {
        const double covered = std::min(high, source + 1.0) - std::max(low, double(source));
        if (covered <= kNegligible * step) {
          if (weights.empty()) ++first;
          continue;
        }
        weights.push_back(covered);
      }
      if (weights.empty()) {  // a span of no width: the nearest sample
        first = std::min(first, size - 1);
        weights.push_back(1);
      }
    } else {
      const double centre = begin + (target + 0.5) * step;
      first = std::clamp(static_cast<int>(std::floor(centre - 0.5)), 0, size - 1);
      const int last = std::min(first + 1, size - 1);
      for (int source = first; source <= last; ++source)
        weights.push_back(std::max(0.0, 1 - std::fabs(source + 0.5 - centre)));
      if (weights[0] <= 0 && weights.size() > 1) {
        weights.erase(weights.begin());
        ++first;
      }
      if (weights.back() <= 0 && weights.size() > 1) weights.pop_back();
      if (weights.back() <= 0) weights.back() = 1;
    }
    add_target(axis, first, weights);
  }
  return axis;
}

Resampling start_resampling(int width, int height, int full_width, int full_height,
                            Orientation orientation, const Placement& placement, Rgb matte) {
  Resampling resampling;
  resampling.width = width;
  resampling.height = height;
  resampling.orientation = orientation;
  resampling.placement = placement;
  // The shown part of the upright image in stored coordinates: a transposed
  // image's stored x runs along the upright rows, and a flipped axis counts
  // from the other end.
  double x0 = placement.left, x1 = placement.right, y0 = placement.top, y1 = placement.bottom;
  resampling.columns = placement.width;
  resampling.rows = placement.height;
  if (orientation.transposed) {
    std::swap(x0, y0);
    std::swap(x1, y1);
    std::swap(resampling.columns, resampling.rows);
  }
  if (orientation.flip_x) {
    const double low = full_width - x1;
    x1 = full_width - x0;
    x0 = low;
  }
  if (orientation.flip_y) {
    const double low = full_height - y1;
    y1 = full_height - y0;
    y0 = low;
  }
  const double scale_x = static_cast<double>(width) / full_width;
  const double scale_y = static_cast<double>(height) / full_height;
  const bool area_only = placement.placing == Placing::native;
  resampling.across =
      axis_weights(x0 * scale_x, x1 * scale_x, resampling.columns, width, area_only);
  resampling.down = axis_weights(y0 * scale_y, y1 * scale_y, resampling.rows, height, area_only);
  for (int sample = 0; sample < 256; ++sample)
    resampling.decoded[sample] = srgb_to_linear(static_cast<std::uint8_t>(sample));
  resampling.matte[0] = srgb_to_linear(matte.red);
  resampling.matte[1] = srgb_to_linear(matte.green);
  resampling.matte[2] = srgb_to_linear(matte.blue);
  resampling.linear.resize(3 * static_cast<std::size_t>(width));
  resampling.reduced.resize(3 * static_cast<std::size_t>(resampling.columns));
  resampling.sums.assign(
      3 * static_cast<std::size_t>(resampling.columns) * static_cast<std::size_t>(resampling.rows),
      0.0f);
  return resampling;
}

namespace {

// True when stored row `y` shows in the result; moves past the result rows
// that take no more stored rows.
bool row_shows(Resampling& resampling, int y) {
  const AxisWeights& down = resampling.down;
  int& next = resampling.next_row;
  while (next < resampling.rows && down.first[next] + down.count[next] <= y) ++next;
  return next < resampling.rows && down.first[next] <= y;
}

// Adds the stored row `y`, already taken across, to the result rows it
// shows in.
void add_reduced(Resampling& resampling, int y) {
  const AxisWeights& down = resampling.down;
  const float* reduced = resampling.reduced.data();
  for (int row = resampling.next_row; row < resampling.rows && down.first[row] <= y; ++row) {
    const int k = y - down.first[row];
    if (k >= down.count[row]) continue;
    const float weight = down.weights[down.offset[row] + static_cast<std::size_t>(k)];
    float* sum = &resampling.sums[3 * static_cast<std::size_t>(row) *
                                  static_cast<std::size_t>(resampling.columns)];
    for (int i = 0; i < 3 * resampling.columns; ++i) sum[i] += weight * reduced[i];
  }
}

}  // namespace

void add_row(Resampling& resampling, int y, const std::uint8_t* samples, int channels) {
  if (!row_shows(resampling, y)) return;

  const AxisWeights& across = resampling.across;
  const int last_column = resampling.columns - 1;
  const int x0 = across.first[0];
  const int x1 = across.first[last_column] + across.count[last_column];
  float* linear = resampling.linear.data();
  const float* decoded = resampling.decoded;
  for (int x = x0; x < x1; ++x) {
    const std::uint8_t* pixel = samples + static_cast<std::ptrdiff_t>(channels) * x;
    float* out = linear + 3 * x;
    if (channels == 4 && pixel[3] != 255) {
      const float alpha = pixel[3] / 255.0f;
      for (int c = 0; c < 3; ++c)
        out[c] = alpha * decoded[pixel[c]] + (1 - alpha) * resampling.matte[c];
    } else {
      for (int c = 0; c < 3; ++c) out[c] = decoded[pixel[c]];
    }
  }

  float* reduced = resampling.reduced.data();
  for (int column = 0; column < resampling.columns; ++column) {
    const float* weight = &across.weights[across.offset[column]];
    const float* source = linear + 3 * across.first[column];
    float red = 0, green = 0, blue = 0;
    for (int k = 0; k < across.count[column]; ++k, source += 3) {
      red += weight[k] * source[0];
      green += weight[k] * source[1];
      blue += weight[k] * source[2];
    }
    reduced[3 * column] = red;
    reduced[3 * column + 1] = green;
    reduced[3 * column + 2] = blue;
  }
  add_reduced(resampling, y);
}

void add_matte_row(Resampling& resampling, int y) {
  if (!row_shows(resampling, y)) return;
  for (int column = 0; column < resampling.columns; ++column)
    std::copy(resampling.matte, resampling.matte + 3, &resampling.reduced[3 * column]);
  add_reduced(resampling, y);
}

LinearImage finish_resampling(const Resampling& resampling) {
  constexpr std::size_t kPixels = LinearImage::kWidth * LinearImage::kHeight;
  LinearImage image;
  image.rgb.assign(3 * kPixels, 0.0f);
  image.outside.assign(kPixels, 1);
  const Placement& placement = resampling.placement;
  const Orientation& orientation = resampling.orientation;
  for (int row = 0; row < resampling.rows; ++row)
    for (int column = 0; column < resampling.columns; ++column) {
      // The stored-order result pixel's place in the upright placement.
      int across = orientation.flip_x ? resampling.columns - 1 - column : column;
      int down = orientation.flip_y ? resampling.rows - 1 - row : row;
      if (orientation.transposed) std::swap(across, down);
      const std::size_t pixel = static_cast<std::size_t>(placement.y + down) * LinearImage::kWidth +
                                static_cast<std::size_t>(placement.x + across);
      const float* sum = &resampling.sums[3 * (static_cast<std::size_t>(row) *
                                                   static_cast<std::size_t>(resampling.columns) +
                                               static_cast<std::size_t>(column))];
      std::copy(sum, sum + 3, &image.rgb[3 * pixel]);
      image.outside[pixel] = 0;
    }
  return image;
}

}  // namespace bitmosaic
