#include "image/colour_space.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace bitmosaic {
namespace {

double decode(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// All 256 samples, computed once: decoding is in every pixel's path.
const std::array<float, 256>& decoded_samples() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> samples{};
    for (int i = 0; i < 256; ++i) samples[i] = static_cast<float>(decode(i / 255.0));
    return samples;
  }();
  return table;
}

}  // namespace

float srgb_to_linear(std::uint8_t sample) { return decoded_samples()[sample]; }

std::uint8_t linear_to_srgb(float linear) {
  // The 8-bit sample whose decoded value is nearest: a binary search over
  // the table keeps encoding the exact inverse of decoding.
  const std::array<float, 256>& samples = decoded_samples();
  if (!(linear > 0.0f)) return 0;
  if (linear >= 1.0f) return 255;
  int low = 0;
  int high = 255;
  while (high - low > 1) {
    const int middle = (low + high) / 2;
    (samples[middle] <= linear ? low : high) = middle;
  }
  return static_cast<std::uint8_t>(linear - samples[low] <= samples[high] - linear ? low : high);
}

}  // namespace bitmosaic

// ---- Perceived colour -------------------------------------------------------

namespace bitmosaic {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The standard sRGB matrix, linear light to XYZ; its rows summed give the
// D65 white.
constexpr double kToXyz[3][3] = {
    {0.4124564, 0.3575761, 0.1804375},
    {0.2126729, 0.7151522, 0.0721750},
    {0.0193339, 0.1191920, 0.9503041},
};
constexpr double kWhite[3] = {0.95047, 1.0, 1.08883};

// CIELAB's companding: a cube root above (6/29)^3, a straight line below.
constexpr double kLabEdge = 6.0 / 29.0;

double lab_f(double t) {
  return t > kLabEdge * kLabEdge * kLabEdge ? std::cbrt(t)
                                            : t / (3 * kLabEdge * kLabEdge) + 4.0 / 29.0;
}

double lab_f_slope(double t) {
  return t > kLabEdge * kLabEdge * kLabEdge ? 1.0 / (3.0 * std::cbrt(t * t))
                                            : 1.0 / (3 * kLabEdge * kLabEdge);
}

double radians(double degrees) { return degrees * kPi / 180.0; }

double hue_degrees(double b, double a) {
  if (a == 0 && b == 0) return 0;
  const double h = std::atan2(b, a) * 180.0 / kPi;
  return h < 0 ? h + 360.0 : h;
}

// 25^7, where chroma starts to count as colourful in CIEDE2000's terms.
constexpr double kChroma7 = 6103515625.0;

double chroma_share(double chroma) {
  const double c7 = std::pow(chroma, 7);
  return std::sqrt(c7 / (c7 + kChroma7));
}

double hue_weight(double hue) {  // CIEDE2000's T
  return 1 - 0.17 * std::cos(radians(hue - 30)) + 0.24 * std::cos(radians(2 * hue)) +
         0.32 * std::cos(radians(3 * hue + 6)) - 0.20 * std::cos(radians(4 * hue - 63));
}

double lightness_scale(double lightness) {  // S_L
  const double d = (lightness - 50) * (lightness - 50);
  return 1 + 0.015 * d / std::sqrt(20 + d);
}

double rotation(double chroma, double hue) {  // R_T
  const double theta = 30 * std::exp(-((hue - 275) / 25) * ((hue - 275) / 25));
  return -std::sin(radians(2 * theta)) * 2 * chroma_share(chroma);
}

}  // namespace

void linear_to_xyz(const float rgb[3], double xyz[3]) {
  for (int i = 0; i < 3; ++i)
    xyz[i] = kToXyz[i][0] * rgb[0] + kToXyz[i][1] * rgb[1] + kToXyz[i][2] * rgb[2];
}

Lab linear_to_lab(const float rgb[3]) {
  double xyz[3];
  linear_to_xyz(rgb, xyz);
  const double fx = lab_f(xyz[0] / kWhite[0]);
  const double fy = lab_f(xyz[1] / kWhite[1]);
  const double fz = lab_f(xyz[2] / kWhite[2]);
  return {static_cast<float>(116 * fy - 16), static_cast<float>(500 * (fx - fy)),
          static_cast<float>(200 * (fy - fz))};
}

double ciede2000(const Lab& first, const Lab& second) {
  const double mean_chroma = (std::hypot(first.a, first.b) + std::hypot(second.a, second.b)) / 2;
  const double a_scale = 1.5 - 0.5 * chroma_share(mean_chroma);  // 1 + G
  const double a1 = a_scale * first.a, a2 = a_scale * second.a;
  const double c1 = std::hypot(a1, static_cast<double>(first.b));
  const double c2 = std::hypot(a2, static_cast<double>(second.b));
  const double h1 = hue_degrees(first.b, a1), h2 = hue_degrees(second.b, a2);

  double hue_step = 0;
  double mean_hue = h1 + h2;
  if (c1 * c2 != 0) {
    hue_step = h2 - h1;
    if (hue_step > 180) hue_step -= 360;
    if (hue_step < -180) hue_step += 360;
    if (std::fabs(h1 - h2) <= 180) mean_hue = (h1 + h2) / 2;
    else mean_hue = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
  }
  const double mean_c = (c1 + c2) / 2;
  const double dl = (second.l - first.l) / lightness_scale((first.l + second.l) / 2.0);
  const double dc = (c2 - c1) / (1 + 0.045 * mean_c);
  const double dh = 2 * std::sqrt(c1 * c2) * std::sin(radians(hue_step / 2)) /
                    (1 + 0.015 * mean_c * hue_weight(mean_hue));
  return std::sqrt(dl * dl + dc * dc + dh * dh + rotation(mean_c, mean_hue) * dc * dh);
}

void ciede2000_metric(const float rgb[3], float metric[6]) {
  double xyz[3];
  linear_to_xyz(rgb, xyz);
  double slope[3];  // of f(X/Xn), f(Y/Yn), f(Z/Zn) against linear red, green, blue
  double grad_f[3][3];
  for (int i = 0; i < 3; ++i) {
    slope[i] = lab_f_slope(xyz[i] / kWhite[i]) / kWhite[i];
    for (int j = 0; j < 3; ++j) grad_f[i][j] = slope[i] * kToXyz[i][j];
  }
  const Lab lab = linear_to_lab(rgb);
  const double a_scale = 1.5 - 0.5 * chroma_share(std::hypot(lab.a, lab.b));
  const double a = a_scale * lab.a, b = lab.b;
  const double chroma = std::hypot(a, b);
  // Unit vectors along chroma and hue in the (a', b) plane; any pair where
  // there is no hue (the chroma terms vanish there anyway).
  double along[2] = {1, 0}, across[2] = {0, 1};
  if (chroma > 1e-9) {
    along[0] = a / chroma, along[1] = b / chroma;
    across[0] = -b / chroma, across[1] = a / chroma;
  }
  const double hue = hue_degrees(b, a);
  const double sl = lightness_scale(lab.l);
  const double sc = 1 + 0.045 * chroma;
  const double sh = 1 + 0.015 * chroma * hue_weight(hue);
  const double rt = rotation(chroma, hue);
  double gl[3], gc[3], gh[3];  // gradients of dL'/SL, dC'/SC, dH'/SH
  for (int j = 0; j < 3; ++j) {
    const double dl = 116 * grad_f[1][j];
    const double da = a_scale * 500 * (grad_f[0][j] - grad_f[1][j]);
    const double db = 200 * (grad_f[1][j] - grad_f[2][j]);
    gl[j] = dl / sl;
    gc[j] = (along[0] * da + along[1] * db) / sc;
    gh[j] = (across[0] * da + across[1] * db) / sh;
  }
  const auto entry = [&](int i, int j) {
    return static_cast<float>(gl[i] * gl[j] + gc[i] * gc[j] + gh[i] * gh[j] +
                              rt / 2 * (gc[i] * gh[j] + gh[i] * gc[j]));
  };
  metric[0] = entry(0, 0), metric[1] = entry(1, 1), metric[2] = entry(2, 2);
  metric[3] = entry(0, 1), metric[4] = entry(0, 2), metric[5] = entry(1, 2);
}

void gaussian_blur(std::span<const float> in, std::span<float> out, int width, int height,
                   int channels, double sigma, int radius) {
  std::vector<float> kernel(static_cast<std::size_t>(2 * radius + 1));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i)
    sum += kernel[static_cast<std::size_t>(i + radius)] =
        static_cast<float>(std::exp(-i * i / (2 * sigma * sigma)));
  for (float& weight : kernel) weight = static_cast<float>(weight / sum);

  const auto at = [channels](int width_, int x, int y, int c) {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)) * static_cast<std::size_t>(channels) +
           static_cast<std::size_t>(c);
  };
  std::vector<float> rows(in.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        float total = 0;
        for (int i = -radius; i <= radius; ++i)
          total += kernel[static_cast<std::size_t>(i + radius)] *
                   in[at(width, std::clamp(x + i, 0, width - 1), y, c)];
        rows[at(width, x, y, c)] = total;
      }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        float total = 0;
        for (int i = -radius; i <= radius; ++i)
          total += kernel[static_cast<std::size_t>(i + radius)] *
                   rows[at(width, x, std::clamp(y + i, 0, height - 1), c)];
        out[at(width, x, y, c)] = total;
      }
}

}  // namespace bitmosaic
