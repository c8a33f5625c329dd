#include "image/colour_space.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
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

Lab srgb_to_lab(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const double r = srgb_to_linear(red), g = srgb_to_linear(green), b = srgb_to_linear(blue);
  // The sRGB primaries to XYZ, relative to the D65 white.
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  const auto f = [](double t) {
    constexpr double kEpsilon = 216.0 / 24389.0;
    constexpr double kKappa = 24389.0 / 27.0;
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
  };
  const double fx = f(x), fy = f(y), fz = f(z);
  return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double lab_distance(const Lab& one, const Lab& other) {
  const double l = one.lightness - other.lightness, a = one.a - other.a, b = one.b - other.b;
  return std::sqrt(l * l + a * a + b * b);
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
constexpr double kInverseWhite[3] = {1 / kWhite[0], 1 / kWhite[1], 1 / kWhite[2]};

// CIELAB's companding: a cube root above (6/29)^3, a straight line below.
constexpr double kLabEdge = 6.0 / 29.0;
constexpr double kLabKnee = kLabEdge * kLabEdge * kLabEdge;

// CIELAB's f of X/Xn, Y/Yn and Z/Zn, and its slopes there. The cube root
// is t * t^(-1/3)^2, with t^(-1/3) from a first guess in the exponent bits
// and `steps` Newton's steps, which need no division; the three run side by
// side. Several times faster than the library's cube root, and every pixel
// of the converter needs three.
void lab_f(const double xyz[3], double f[3], double slope[3], int steps) {
  const double t0 = xyz[0] * kInverseWhite[0];
  const double t1 = xyz[1] * kInverseWhite[1];
  const double t2 = xyz[2] * kInverseWhite[2];
  const double u0 = std::max(t0, kLabKnee);
  const double u1 = std::max(t1, kLabKnee);
  const double u2 = std::max(t2, kLabKnee);
  const auto guess = [](double t) {
    std::uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    bits = 0x553EF0FF289DD796ull - bits / 3;
    double r;
    std::memcpy(&r, &bits, sizeof r);
    return r;
  };
  double r0 = guess(u0), r1 = guess(u1), r2 = guess(u2);
  for (int n = 0; n < steps; ++n) {  // to 2e-3, 1e-5, 3e-10
    const double c0 = (r0 * r0) * (r0 * u0), c1 = (r1 * r1) * (r1 * u1), c2 = (r2 * r2) * (r2 * u2);
    r0 = (r0 * (1.0 / 3)) * (4 - c0);
    r1 = (r1 * (1.0 / 3)) * (4 - c1);
    r2 = (r2 * (1.0 / 3)) * (4 - c2);
  }
  const auto finish = [](double t, double u, double r, double& value, double& gradient) {
    if (t > kLabKnee) {
      value = u * r * r;
      gradient = r * r * (1.0 / 3);
    } else {  // the straight line below the knee
      value = t / (3 * kLabEdge * kLabEdge) + 4.0 / 29.0;
      gradient = 1.0 / (3 * kLabEdge * kLabEdge);
    }
  };
  finish(t0, u0, r0, f[0], slope[0]);
  finish(t1, u1, r1, f[1], slope[1]);
  finish(t2, u2, r2, f[2], slope[2]);
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
  const double c2 = chroma * chroma;
  const double c7 = c2 * c2 * c2 * chroma;
  return std::sqrt(c7 / (c7 + kChroma7));
}

// CIEDE2000's T for the hue whose cosine and sine are given; the multiples
// of the angle come from the angle-sum rules, without further trigonometry.
double hue_weight(double cosine, double sine) {
  const double cos2 = cosine * cosine - sine * sine, sin2 = 2 * sine * cosine;
  const double cos3 = cos2 * cosine - sin2 * sine, sin3 = sin2 * cosine + cos2 * sine;
  const double cos4 = cos2 * cos2 - sin2 * sin2, sin4 = 2 * sin2 * cos2;
  const double c30 = std::cos(radians(30)), s30 = 0.5;
  const double c6 = std::cos(radians(6)), s6 = std::sin(radians(6));
  const double c63 = std::cos(radians(63)), s63 = std::sin(radians(63));
  return 1 - 0.17 * (cosine * c30 + sine * s30) + 0.24 * cos2 + 0.32 * (cos3 * c6 - sin3 * s6) -
         0.20 * (cos4 * c63 + sin4 * s63);
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
  double f[3], slope[3];
  lab_f(xyz, f, slope, 3);
  return {116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
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
  const double dl = (second.lightness - first.lightness) / lightness_scale((first.lightness + second.lightness) / 2.0);
  const double dc = (c2 - c1) / (1 + 0.045 * mean_c);
  const double dh = 2 * std::sqrt(c1 * c2) * std::sin(radians(hue_step / 2)) /
                    (1 + 0.015 * mean_c *
                         hue_weight(std::cos(radians(mean_hue)), std::sin(radians(mean_hue))));
  return std::sqrt(dl * dl + dc * dc + dh * dh + rotation(mean_c, mean_hue) * dc * dh);
}

namespace {

// CIEDE2000 near a colour as a quadratic form in dL, da and db: dL^2 / SL^2
// plus the form `ab` (aa, bb, ab) in da and db; L and the chroma plane do
// not mix. At a vanishing difference both colours share G, the mean chroma
// and the mean hue, so dL' = dL, da' = (1 + G) da, and dC', dH' are da', db
// turned onto the chroma and hue directions.
struct LabWeights {
  double ll;
  double aa, bb, ab;
};

LabWeights lab_weights(double l, double a_star, double b) {
  const double a_scale = 1.5 - 0.5 * chroma_share(std::sqrt(a_star * a_star + b * b));
  const double a = a_scale * a_star;
  const double chroma = std::sqrt(a * a + b * b);
  // Unit vectors along chroma and hue in the (a', b) plane; any pair where
  // there is no hue (the rotation term vanishes there).
  double along[2] = {1, 0}, across[2] = {0, 1};
  if (chroma > 1e-9) {
    const double inverse = 1 / chroma;
    along[0] = a * inverse, along[1] = b * inverse;
    across[0] = -along[1], across[1] = along[0];
  }
  const double sc = 1 / (1 + 0.045 * chroma);
  const double sh = 1 / (1 + 0.015 * chroma * hue_weight(along[0], along[1]));
  // The rotation term lives in the blues (hues about 200 to 350 degrees);
  // elsewhere it is below a millionth.
  const double rt = b < 0 && chroma > 1e-9 ? rotation(chroma, hue_degrees(b, a)) : 0.0;
  // Gradients of dC'/SC and dH'/SH against da and db.
  const double ca = along[0] * a_scale * sc, cb = along[1] * sc;
  const double ha = across[0] * a_scale * sh, hb = across[1] * sh;
  const double sl = 1 / lightness_scale(l);
  return {sl * sl, ca * ca + ha * ha + rt * ca * ha, cb * cb + hb * hb + rt * cb * hb,
          ca * cb + ha * hb + rt / 2 * (ca * hb + ha * cb)};
}

}  // namespace

void ciede2000_lab_metric(const Lab& lab, float metric[6]) {
  const LabWeights w = lab_weights(lab.lightness, lab.a, lab.b);
  metric[0] = static_cast<float>(w.ll), metric[1] = static_cast<float>(w.aa);
  metric[2] = static_cast<float>(w.bb), metric[3] = 0, metric[4] = 0;
  metric[5] = static_cast<float>(w.ab);
}

void ciede2000_metric(const float rgb[3], float metric[6]) {
  double xyz[3];
  linear_to_xyz(rgb, xyz);
  double f[3], slope[3];
  lab_f(xyz, f, slope, 2);  // 1e-5 is close enough for a weight
  const LabWeights w = lab_weights(116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2]));
  // The rows of the Jacobian of L, a and b against red, green and blue.
  double jl[3], ja[3], jb[3];
  for (int j = 0; j < 3; ++j) {
    const double gx = slope[0] * kInverseWhite[0] * kToXyz[0][j];
    const double gy = slope[1] * kInverseWhite[1] * kToXyz[1][j];
    const double gz = slope[2] * kInverseWhite[2] * kToXyz[2][j];
    jl[j] = 116 * gy, ja[j] = 500 * (gx - gy), jb[j] = 200 * (gy - gz);
  }
  const auto entry = [&](int i, int j) {
    return static_cast<float>(w.ll * jl[i] * jl[j] + w.aa * ja[i] * ja[j] + w.bb * jb[i] * jb[j] +
                              w.ab * (ja[i] * jb[j] + jb[i] * ja[j]));
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

  const auto at = [width, channels](int x, int y, int c) {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
            static_cast<std::size_t>(x)) * static_cast<std::size_t>(channels) +
           static_cast<std::size_t>(c);
  };
  // One direction at a time: across the rows (dx 1), then down the columns
  // (dy 1), the border pixel repeated beyond the edges.
  const auto pass = [&](std::span<const float> from, std::span<float> to, int dx, int dy) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c) {
          float total = 0;
          for (int i = -radius; i <= radius; ++i)
            total += kernel[static_cast<std::size_t>(i + radius)] *
                     from[at(std::clamp(x + i * dx, 0, width - 1),
                             std::clamp(y + i * dy, 0, height - 1), c)];
          to[at(x, y, c)] = total;
        }
  };
  std::vector<float> rows(in.size());
  pass(in, rows, 1, 0);
  pass(rows, out, 0, 1);
}

}  // namespace bitmosaic
