// The colours an image shows in its picture area, in the order they first
// appear, and each multicolour pixel's colour among them: what the palette
// is matched against and the cells are sorted by. Where the image is drawn
// with two image pixels a multicolour pixel, both must have one colour.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/png_reader.h"

namespace bitmosaic {

// Where the picture lies in the unscaled image, and how many image pixels
// make one multicolour pixel.
struct PictureArea {
  int left;
  int top;
  int pixel_width;
};

// A colour of the image with the first pixel (image coordinates) showing it.
struct ImageColour {
  std::uint32_t rgb;  // 0xRRGGBB
  int x, y;
};

// The distinct colours of the picture in the order they first appear, and
// for every multicolour pixel the index of its colour.
struct ColourCensus {
  std::vector<ImageColour> colours;
  std::unique_ptr<std::uint16_t[]> index_of_pixel;  // kPictureArea entries, row by row
  std::string error;                                // a pixel pair of two colours
};

// One pass over the picture area of `image` (unscaled): the pixel pairs
// are checked (in row order; the first pair of two colours is the message)
// and the colours counted. Positions in messages are the scaled image's:
// `scale` multiplies them; `name` is the file name as messages show it.
ColourCensus take_census(const RgbImage& image, const PictureArea& area, int scale,
                         const std::string& name);

}  // namespace bitmosaic
