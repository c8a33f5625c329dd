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

}  // namespace bitmosaic
