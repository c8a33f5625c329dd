#include "import/image_to_koala.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/message.h"
#include "image/image_geometry.h"
#include "import/colour_census.h"
#include "import/palette_fit.h"
#include "picture/colour_grid.h"

namespace bitmosaic {
namespace {

PictureArea area_of(const NativeSize& size) {
  return {size.left, size.top, size.across == kPixelColumns ? 1 : 2};
}

// From this distance on, the output line says how far the colours lie.
constexpr double kNotedDistance = 16.0;

// A scaled image as its unscaled self, or the message of the first block
// (in rows, then columns) that holds two colours.
std::string unscale(const RgbImage& image, int scale, const std::string& name,
                    RgbImage& unscaled) {
  unscaled.width = image.width / scale;
  unscaled.height = image.height / scale;
  unscaled.pixels.reset(new std::uint8_t[4 * static_cast<std::size_t>(unscaled.width) *
                                         static_cast<std::size_t>(unscaled.height)]);
  for (int y = 0; y < unscaled.height; ++y)
    for (int x = 0; x < unscaled.width; ++x) {
      const std::uint32_t colour = image.rgb(x * scale, y * scale);
      for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx)
          if (image.rgb(x * scale + dx, y * scale + dy) != colour)
            return formatted("ERROR: Image '%s' is scaled %ix, but the block at %i, %i has two "
                             "colours.",
                             name.c_str(), scale, x * scale, y * scale);
      std::memcpy(&unscaled.pixels[4 * (static_cast<std::size_t>(y) * unscaled.width + x)],
                  &image.pixels[4 * (static_cast<std::size_t>(y) * scale * image.width +
                                     static_cast<std::size_t>(x) * scale)],
                  4);
    }
  return {};
}

using PixelCounts = std::array<int, 16>;

// The colour number of every pixel, how many pixels show each colour, and
// which colours each cell shows, in one pass four pixels at a time.
void sort_pixels(const ColourCensus& census, const std::vector<std::uint8_t>& numbers,
                 ColourGrid& grid, PixelCounts& pixels, CellMasks& masks) {
  masks.fill(0);
  const std::uint16_t* index = census.index_of_pixel.get();
  std::uint8_t* colour = grid.data();
  for (int y = 0; y < kPixelLines; ++y) {
    std::uint16_t* row = &masks[cell_index(0, y / kLinesPerCell)];
    for (int column = 0; column < kCellColumns; ++column, index += 4, colour += 4) {
      const std::uint8_t c0 = numbers[index[0]], c1 = numbers[index[1]];
      const std::uint8_t c2 = numbers[index[2]], c3 = numbers[index[3]];
      colour[0] = c0;
      colour[1] = c1;
      colour[2] = c2;
      colour[3] = c3;
      ++pixels[c0];
      ++pixels[c1];
      ++pixels[c2];
      ++pixels[c3];
      row[column] |= static_cast<std::uint16_t>(1u << c0 | 1u << c1 | 1u << c2 | 1u << c3);
    }
  }
}

std::string check_cell_colours(const CellMasks& masks, const std::string& name) {
  constexpr int kListed = 20;
  std::string message;
  int crowded = 0;
  for (int row = 0; row < kCellRows; ++row)
    for (int column = 0; column < kCellColumns; ++column) {
      const int count = colours_in(masks[cell_index(column, row)]);
      if (count <= 4) continue;
      if (++crowded > kListed) continue;
      if (!message.empty()) message += "\n";
      message += formatted("ERROR: Cell col %i, row %i of '%s' has %i colours; "
                        "a cell shows at most 4, one of them the background.",
                        column, row, name.c_str(), count);
    }
  if (crowded > kListed) message += formatted("\n... and %i more cells.", crowded - kListed);
  return message;
}

struct Background {
  int colour = -1;           // -1: none can be
  int first_column = 0, first_row = 0;  // two full cells with nothing in common
  int second_column = 0, second_row = 0;
};

Background choose_background(const CellMasks& masks, const PixelCounts& pixels) {
  Background background;
  std::uint16_t candidates = 0xFFFF;
  int first_full = -1;
  for (std::size_t cell = 0; cell < masks.size(); ++cell) {
    if (colours_in(masks[cell]) != 4) continue;
    if (first_full < 0) first_full = static_cast<int>(cell);
    candidates &= masks[cell];
    if (candidates == 0) {
      // Name two full cells that share no colour where there are such,
      // else the first one and the one that left no colour in common.
      int a = first_full;
      int b = static_cast<int>(cell);
      for (std::size_t i = 0; i < masks.size(); ++i)
        for (std::size_t j = i + 1; j < masks.size(); ++j)
          if (colours_in(masks[i]) == 4 && colours_in(masks[j]) == 4 &&
              (masks[i] & masks[j]) == 0) {
            a = static_cast<int>(i);
            b = static_cast<int>(j);
            i = j = masks.size();
          }
      background.first_column = a % kCellColumns;
      background.first_row = a / kCellColumns;
      background.second_column = b % kCellColumns;
      background.second_row = b / kCellColumns;
      return background;
    }
  }
  for (int colour = 0; colour < 16; ++colour)
    if ((candidates >> colour & 1) != 0 &&
        (background.colour < 0 || pixels[static_cast<std::size_t>(colour)] >
                                      pixels[static_cast<std::size_t>(background.colour)]))
      background.colour = colour;
  return background;
}

}  // namespace

bool is_importable_size(int width, int height) {
  return native_geometry(width, height).has_value();
}

Conversion image_to_koala(const RgbImage& image, const std::string& name, int palette) {
  Conversion result;
  const std::optional<NativeGeometry> geometry = native_geometry(image.width, image.height);
  if (!geometry) {
    result.error = formatted("ERROR: Image '%s' is %ix%i pixels; import takes 160x200, 320x200, "
                             "384x272 or 384x247, or one of them scaled 2x, 3x or 4x.",
                             name.c_str(), image.width, image.height);
    return result;
  }
  RgbImage unscaled;
  const int scale = geometry->factor;
  if (scale > 1) {
    result.error = unscale(image, scale, name, unscaled);
    if (!result.error.empty()) return result;
  }
  const ColourCensus census =
      take_census(scale > 1 ? unscaled : image, area_of(geometry->size), scale, name);
  result.error = census.error;
  if (!result.error.empty()) return result;
  const PaletteFit fit = choose_palette(census.colours, palette, name);
  result.error = fit.error;
  if (!result.error.empty()) return result;
  ColourGrid grid;
  PixelCounts pixels{};
  CellMasks masks;
  sort_pixels(census, fit.numbers, grid, pixels, masks);
  result.error = check_cell_colours(masks, name);
  if (!result.error.empty()) return result;
  const Background background = choose_background(masks, pixels);
  if (background.colour < 0) {
    result.error = formatted("ERROR: No colour of '%s' can be the background: it must be in every "
                          "cell that shows 4 colours, and none is (see col %i, row %i and "
                          "col %i, row %i).",
                          name.c_str(), background.first_column, background.first_row,
                          background.second_column, background.second_row);
    return result;
  }
  result.picture = encode_colour_grid(grid, masks, background.colour);
  result.palette = fit.palette->name;
  result.farthest = fit.farthest > kNotedDistance ? static_cast<int>(std::lround(fit.farthest)) : 0;
  result.background = background.colour;
  result.converted = true;
  return result;
}

}  // namespace bitmosaic
