// Where an image lands on the picture: the sizes that already are the
// picture's own geometry, and how any other image is scaled onto the grid of
// hires pixels in the PAL machine's pixel shape; and how a photograph's EXIF
// orientation turns the stored image upright.
#pragma once

#include <optional>
#include <span>

namespace bitmosaic {

// A hires pixel's width over its height on the PAL machine; a multicolour
// pixel is two hires pixels wide.
inline constexpr double kHiresPixelAspect = 0.936;

// What --scale asks for an image that is not of the picture's own geometry.
enum class ScaleMode {
  fill,     // cover the whole picture, cutting the image's centre out
  fit,      // show the whole image, the background around it
  stretch,  // the whole image on the whole picture, whatever its shape
};

struct ScaleModeName {
  const char* name;  // as --scale takes it
  ScaleMode mode;
};

// Every mode, fill (the default) first.
std::span<const ScaleModeName> scale_modes();

// What was done: a native image is used at its own geometry.
enum class Placing { native, filled, fitted, stretched };

struct Placement {
  Placing placing = Placing::native;
  int factor = 1;  // a native image: the multiple of its size, 1 to kLargestMultiple
  // The part of the upright image that is shown, in its pixels; edges may
  // fall inside pixels.
  double left = 0, top = 0, right = 0, bottom = 0;
  // Where that part lands on the 320x200 grid of hires pixels.
  int x = 0, y = 0, width = 320, height = 200;
};

// The largest multiple of a native size that is still used at that geometry.
inline constexpr int kLargestMultiple = 4;

// The sizes at the picture's own geometry, which import takes and convert
// keeps: the image's size, where its picture area starts, and how many
// image pixels span the picture's width (160: one a multicolour pixel;
// 320: one a hires pixel).
struct NativeSize {
  int width, height;
  int left, top;
  int across;
};

struct NativeGeometry {
  NativeSize size;
  int factor;  // every pixel of the native size is a factor x factor block
};

// The native size that `width` x `height` is, at 1 to kLargestMultiple
// times; nothing for any other size.
std::optional<NativeGeometry> native_geometry(int width, int height);

// The placement of an upright image of `width` x `height` (both at least 1).
// Native sizes (160x200, 320x200, the 384x272 PAL and 384x247 NTSC
// screenshots, each also 2, 3 and 4 times as large) show their picture area
// at that geometry, whatever `mode` says.
Placement place_image(int width, int height, ScaleMode mode);

// True when an image decoded at `decoded_width` x `decoded_height` instead of
// its full `width` x `height` (both upright) still has at least one pixel for
// every hires pixel of the placement in both directions. A native image needs
// every pixel.
bool resolution_suffices(const Placement& placement, int width, int height, int decoded_width,
                         int decoded_height);

// How the stored image becomes upright: with `transposed`, stored columns
// become upright rows; a flipped axis runs the other way. Stored x feeds
// upright x (or upright y when transposed), and so on.
struct Orientation {
  bool transposed = false;
  bool flip_x = false;  // the stored x axis runs against the upright axis it feeds
  bool flip_y = false;
};

// The EXIF orientation value, 1 to 8; any other value is taken as 1 (upright).
Orientation orientation_of(int exif_value);

}  // namespace bitmosaic
