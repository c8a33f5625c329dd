#include "image/colour_space.h"

#include <array>
#include <cmath>

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
