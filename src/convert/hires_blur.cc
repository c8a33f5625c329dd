#include "convert/hires_blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "convert/conversion_target.h"

namespace bitmosaic {
namespace {

constexpr int kRow = 3 * kWide;        // floats in a hires row
constexpr int kPad = 3 * kBlurRadius;  // floats beyond each end of a padded row

// to[s] += weight * from[s] along a row: the one loop both blurs are made of,
// four floats a step.
void add_scaled(float* __restrict to, const float* __restrict from, float weight) {
  for (int s = 0; s < kRow; ++s) to[s] += weight * from[s];
}

}  // namespace

Kernel blur_kernel() {
  Kernel kernel{};
  double sum = 0;
  for (int i = -kBlurRadius; i <= kBlurRadius; ++i) sum += std::exp(-i * i / 2.0);
  for (int i = -kBlurRadius; i <= kBlurRadius; ++i)
    kernel.weight[i + kBlurRadius] = static_cast<float>(std::exp(-i * i / 2.0) / sum);
  return kernel;
}

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

}  // namespace bitmosaic
