#include "image/image_geometry.h"

#include <algorithm>
#include <cmath>

#include "image/linear_image.h"

namespace bitmosaic {
namespace {

// Display width over height of the whole picture.
constexpr double kPictureAspect = LinearImage::kWidth * kHiresPixelAspect / LinearImage::kHeight;

// Indexed by the EXIF value: 1 upright, 2 mirrored, 3 turned half round, 4
// upside down, 5 to 8 stored on their side.
constexpr Orientation kOrientations[9] = {
    {false, false, false},  // 0: not a value; upright
    {false, false, false},  // 1
    {false, true, false},   // 2
    {false, true, true},    // 3
    {false, false, true},   // 4
    {true, false, false},   // 5
    {true, false, true},    // 6
    {true, true, true},     // 7
    {true, true, false},    // 8
};

}  // namespace

std::span<const ScaleModeName> scale_modes() {
  static constexpr ScaleModeName kModes[] = {
      {"fill", ScaleMode::fill}, {"fit", ScaleMode::fit}, {"stretch", ScaleMode::stretch}};
  return kModes;
}

std::optional<NativeGeometry> native_geometry(int width, int height) {
  static constexpr NativeSize kNativeSizes[] = {
      {160, 200, 0, 0, 160},    // one pixel a multicolour pixel
      {320, 200, 0, 0, 320},    // one pixel a hires pixel
      {384, 272, 32, 35, 320},  // a PAL emulator screenshot, the border around the picture
      {384, 247, 32, 23, 320},  // an NTSC emulator screenshot
  };
  for (int factor = 1; factor <= kLargestMultiple; ++factor)
    for (const NativeSize& size : kNativeSizes)
      if (width == factor * size.width && height == factor * size.height)
        return NativeGeometry{size, factor};
  return std::nullopt;
}

Placement place_image(int width, int height, ScaleMode mode) {
  Placement placement;
  if (const std::optional<NativeGeometry> native = native_geometry(width, height)) {
    const NativeSize& size = native->size;
    const int factor = native->factor;
    placement.factor = factor;
    placement.left = factor * size.left;
    placement.top = factor * size.top;
    placement.right = factor * (size.left + size.across);
    placement.bottom = factor * (size.top + LinearImage::kHeight);
    return placement;
  }
  placement.right = width;
  placement.bottom = height;
  const double aspect = static_cast<double>(width) / height;
  switch (mode) {
    case ScaleMode::stretch:
      placement.placing = Placing::stretched;
      break;
    case ScaleMode::fill:
      placement.placing = Placing::filled;
      if (aspect > kPictureAspect) {
        const double shown = height * kPictureAspect;
        placement.left = (width - shown) / 2;
        placement.right = placement.left + shown;
      } else {
        const double shown = width / kPictureAspect;
        placement.top = (height - shown) / 2;
        placement.bottom = placement.top + shown;
      }
      break;
    case ScaleMode::fit:
      // Whole hires pixels: the image's shape is kept to within half a pixel.
      placement.placing = Placing::fitted;
      if (aspect > kPictureAspect) {
        placement.height = std::clamp(
            static_cast<int>(std::lround(LinearImage::kHeight * kPictureAspect / aspect)), 1,
            LinearImage::kHeight);
        placement.y = (LinearImage::kHeight - placement.height) / 2;
      } else {
        placement.width =
            std::clamp(static_cast<int>(std::lround(LinearImage::kWidth * aspect / kPictureAspect)),
                       1, LinearImage::kWidth);
        placement.x = (LinearImage::kWidth - placement.width) / 2;
      }
      break;
  }
  return placement;
}

bool resolution_suffices(const Placement& placement, int width, int height, int decoded_width,
                         int decoded_height) {
  if (placement.placing == Placing::native)
    return decoded_width == width && decoded_height == height;
  const double across = (placement.right - placement.left) * decoded_width / width;
  const double down = (placement.bottom - placement.top) * decoded_height / height;
  return across >= placement.width - 1e-9 && down >= placement.height - 1e-9;
}

Orientation orientation_of(int exif_value) {
  return kOrientations[exif_value >= 1 && exif_value <= 8 ? exif_value : 0];
}

}  // namespace bitmosaic
