// Turns an image drawn under the C64's multicolour rules into a Koala
// picture, or says exactly which rule it breaks and where.
//
// The rules, in the order they are checked:
//  - the size: 160x200 (one image pixel a multicolour pixel), 320x200 (two
//    image pixels a multicolour pixel), 384x272 or 384x247 (an emulator's
//    screenshot of a PAL or an NTSC machine, the picture at x 32, y 35 or
//    y 23 inside the border), or one of them scaled 2x, 3x or 4x, where
//    every block of the scale's size has one colour;
//  - in the wider forms, both pixels of a pair have one colour;
//  - every colour of the picture lies within 64 (Euclidean RGB) of a colour
//    of one palette, and no two image colours become the same C64 colour:
//    of the palettes where that holds, the one whose colours are nearest in
//    total is used;
//  - every cell of 4x8 multicolour pixels shows at most 4 colours, one of
//    them the background that all cells share.
//
// The background is a colour in every cell that shows 4 colours; among those
// (all colours, when no cell shows 4) the one covering most pixels, the
// lowest colour number among equals. Each cell's other colours get the bit
// pairs 01, 10 and 11 (the screen colour's high and low four bits, the
// colour RAM); a colour keeps the bit pair it had in the cell before (in
// file order), else the one it had in the cell above, else takes the first
// free one, in colour-number order; an unused bit pair repeats the cell
// before's colour. Long runs of equal bytes are what packers need.
#pragma once

#include <string>

#include "image/png_reader.h"
#include "picture/koala_picture.h"

namespace bitmosaic {

// True for the image sizes an import takes.
bool is_importable_size(int width, int height);

struct Conversion {
  bool converted = false;
  KoalaPicture picture{};
  const char* palette = nullptr;  // the palette's name
  int farthest = 0;  // how far the farthest colour lies from its palette colour; 0 when close
  int background = 0;
  std::string error;  // the whole message, "ERROR: ..." lines
};

// `name` is the file name as messages show it; `palette` is the index of
// the only palette to match, or -1 for every one.
Conversion image_to_koala(const RgbImage& image, const std::string& name, int palette);

}  // namespace bitmosaic
