// The state of the blurred-error search, shared by its passes over the
// pixels (blur_search.cc) and its new choice of each cell's colours
// (cell_rechoosing.cc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/conversion_target.h"
#include "convert/hires_blur.h"

namespace bitmosaic {

// The blurred error: e = G (shown - image) at every hires pixel p, G the
// perceived error's blur, weighed as e_p^T M_p e_p with M_p CIEDE2000's
// metric (ciede2000_metric) halfway between the blurred image and the
// blurred picture there: the metric of a difference that is not small is
// best taken at its middle. Changing multicolour pixel q by d (linear light,
// on both its hires pixels) changes the sum by
//   2 d.c_q + s_q d^T M_q d,
// where c = K^T M e (K: the blur of one multicolour pixel) and s_q the sum of
// K's squares. Keeping c up to date after a change costs a small window,
// which makes trying a colour cheap and taking it not much dearer; a refresh
// now and then recomputes c from scratch.

// How far the blur of one multicolour pixel overlaps another's by more than
// a thousandth of its own weight: 3 pixels across, 5 lines down.
inline constexpr int kReachX = 3;
inline constexpr int kReachY = 5;

struct Search {
  const LinearImage* image;
  const ConversionTarget* target;
  std::vector<CellColours>* cells;
  ColourGrid* grid;
  std::vector<float> blurred;  // the blurred image, 3 a multicolour pixel (mean of its two)
  std::vector<float> metric;   // M, 6 a multicolour pixel
  std::vector<float> field;    // c, 3 a multicolour pixel
  std::vector<float> self;     // s, the overlap of each pixel's blur with itself
  std::vector<float> work[2];  // hires scratch
  float across[kPixelColumns][2 * kReachX + 1];
  float down[kHigh][2 * kReachY + 1];
  float red[16], green[16], blue[16];  // the palette, colour by colour
  std::vector<std::uint8_t> dirty;     // cells whose costs moved since their last visit
};

// What showing colour `to` instead of `from` at pixel q adds to the error.
inline float change_cost(const Search& s, std::size_t q, int from, int to) {
  const float* a = s.target->colour[from];
  const float* b = s.target->colour[to];
  const float d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float* c = &s.field[3 * q];
  return 2 * (d[0] * c[0] + d[1] * c[1] + d[2] * c[2]) +
         s.self[q] * quadratic(&s.metric[6 * q], d[0], d[1], d[2]);
}

// Shows colour `to` at pixel q, and brings c up to date around it.
void change(Search& s, std::size_t q, int to);

// Each cell weighs other sets of colours and takes the most promising one
// where the error falls (see cell_rechoosing.cc).
void rechoose_cells(Search& s);

}  // namespace bitmosaic
