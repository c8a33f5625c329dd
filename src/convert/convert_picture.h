// The heart of `convert`: the Koala picture that looks most like an image.
//
// What it minimises is the perceived error of the whole picture (see
// convert/perceived_error.h): the picture and the image are compared after
// the blur that stands for the viewer's eye, so a dither pattern that mixes
// to the right colour counts as that colour. The cell rules are kept from
// the start: every choice of a pixel's colour is among the four colours its
// cell shows (the background and three of the cell's own).
#pragma once

#include <cstdint>
#include <span>

#include "image/linear_image.h"
#include "picture/colour_grid.h"
#include "picture/koala_picture.h"
#include "image/c64_palette.h"

namespace bitmosaic {

enum class Dither : std::uint8_t {
  none,    // each pixel the nearest of its cell's colours
  bayer2,  // ordered: the best mix of two of the cell's colours, by a 2x2, 4x4 or 8x8
  bayer4,  //   threshold matrix
  bayer8,
  floyd,     // Floyd-Steinberg error diffusion, serpentine
  atkinson,  // Atkinson's error diffusion (three quarters of the error passed on)
  search,    // direct binary search of the blurred error, cell colours chosen with it
};

struct DitherMode {
  const char* name;  // as --dither takes it
  Dither dither;
};

// Every mode, in the order help texts list them.
std::span<const DitherMode> dither_modes();

// The mode that scores best on the perceived error.
inline constexpr Dither kDefaultDither = Dither::search;

struct ConvertSettings {
  Dither dither = kDefaultDither;
  int background = -1;  // 0..15 fixes the background; otherwise it is chosen
};

struct ConvertedPicture {
  KoalaPicture picture{};
  ColourGrid colours{};  // what the picture shows, one colour number a multicolour pixel
  int background = 0;
};

// `image.rgb` holds LinearImage::kWidth x kHeight pixels (samples outside
// 0..1 are taken as the nearest of 0 and 1); `image.outside` as many flags,
// or none. A multicolour pixel with either half outside shows the
// background.
ConvertedPicture convert_picture(const LinearImage& image, const C64Colours& palette,
                                 const ConvertSettings& settings);

}  // namespace bitmosaic
