// Resampling in linear light onto the picture's grid, one stored row at a
// time as a decoder delivers them, so that the decoded image never needs to
// be held whole. The placement is worked out for the upright image; the rows
// are taken as stored, and the orientation is applied to the small result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/image_geometry.h"
#include "image/linear_image.h"
#include "image/c64_palette.h"

namespace bitmosaic {

// The weights that make `targets` samples from the span [begin, end) of a
// line of `size` source samples (begin < end, inside 0..size). Where the
// span holds at least one source sample a target, or with `area_only`, each
// target is the average over the area it covers (a box average, exact for
// whole multiples); where it holds fewer, each target is linearly
// interpolated between the two nearest source samples.
struct AxisWeights {
  std::vector<int> first;           // a target's first source sample
  std::vector<int> count;           // how many source samples it takes
  std::vector<std::size_t> offset;  // where its weights start in `weights`
  std::vector<float> weights;       // each target's sum to 1
};
AxisWeights axis_weights(double begin, double end, int targets, int size, bool area_only);

struct Resampling {
  int width = 0, height = 0;  // the stored image as decoded
  Orientation orientation;
  Placement placement;
  AxisWeights across;  // the stored rows' samples onto the result's stored-order columns
  AxisWeights down;    // the stored rows onto its stored-order rows
  int columns = 0, rows = 0;
  float matte[3] = {};         // linear light
  float decoded[256] = {};     // each 8-bit sRGB sample in linear light
  std::vector<float> linear;   // one stored row, linear light, 3 a pixel
  std::vector<float> reduced;  // that row taken across: columns x 3
  std::vector<float> sums;     // rows x columns x 3
  int next_row = 0;            // the first result row still taking stored rows
};

// Prepares to take the rows of a stored image decoded at `width` x `height`,
// whose full stored size is `full_width` x `full_height` (a JPEG may be
// decoded smaller), placed as `placement` says once turned upright by
// `orientation`. Transparent pixels are laid over `matte`.
Resampling start_resampling(int width, int height, int full_width, int full_height,
                            Orientation orientation, const Placement& placement, Rgb matte);

// Takes stored row `y` (rows in increasing order): `channels` bytes a pixel,
// 3 (red, green, blue) or 4 (with alpha), 8-bit sRGB.
void add_row(Resampling& resampling, int y, const std::uint8_t* samples, int channels);

// Takes stored row `y` as wholly transparent: the matte all along.
void add_matte_row(Resampling& resampling, int y);

// The picture, upright, once every row was added; outside the placement's
// rectangle the pixels are black and marked outside.
LinearImage finish_resampling(const Resampling& resampling);

}  // namespace bitmosaic
