#include "convert/conversion_target.h"

namespace bitmosaic {

ConversionTarget make_target(const LinearImage& image, const C64Colours& palette) {
  ConversionTarget target;
  for (int k = 0; k < 16; ++k) {
    const Rgb c = palette[static_cast<std::size_t>(k)];
    target.colour[k][0] = srgb_to_linear(c.red);
    target.colour[k][1] = srgb_to_linear(c.green);
    target.colour[k][2] = srgb_to_linear(c.blue);
    target.colour_lab[k] = linear_to_lab(target.colour[k]);
  }
  target.rgb.resize(3 * kPictureArea);
  target.lab.resize(kPictureArea);
  target.weights.resize(4 * kPictureArea);
  target.outside.assign(kPictureArea, 0);
  for (std::size_t q = 0; q < kPictureArea; ++q) {
    for (std::size_t c = 0; c < 3; ++c)
      target.rgb[3 * q + c] = (image.rgb[6 * q + c] + image.rgb[6 * q + 3 + c]) / 2;
    if (!image.outside.empty())
      target.outside[q] = (image.outside[2 * q] | image.outside[2 * q + 1]) != 0;
    target.lab[q] = linear_to_lab(&target.rgb[3 * q]);
    float metric[6];
    ciede2000_lab_metric(target.lab[q], metric);
    float* w = &target.weights[4 * q];
    w[0] = metric[0], w[1] = metric[1], w[2] = metric[2], w[3] = metric[5];
  }
  return target;
}

}  // namespace bitmosaic
