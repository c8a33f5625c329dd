#include "import/image_to_koala.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "image/image_geometry.h"
#include "picture/colour_grid.h"
#include "base/message.h"
#include "image/c64_palette.h"
#include "base/colour_names.h"

namespace bitmosaic {
namespace {

// Where the picture lies in the unscaled image, and how many image pixels
// make one multicolour pixel.
struct PictureArea {
  int left;
  int top;
  int pixel_width;
};

PictureArea area_of(const NativeSize& size) {
  return {size.left, size.top, size.across == kPixelColumns ? 1 : 2};
}

// A colour further than this (Euclidean, in 0..255 steps) from its nearest
// colour of a palette is no colour of that palette. Neighbours in one
// palette lie 25 or more apart; artists' palettes that are close to, but
// not in, the table put colours up to about 50 from it.
constexpr double kFarDistance = 64.0;

// From this distance on, the output line says how far the colours lie.
constexpr double kNotedDistance = 16.0;

double distance(std::uint32_t rgb, const Rgb& colour) {
  const double red = static_cast<int>(rgb >> 16) - colour.red;
  const double green = static_cast<int>((rgb >> 8) & 0xFF) - colour.green;
  const double blue = static_cast<int>(rgb & 0xFF) - colour.blue;
  return std::sqrt(red * red + green * green + blue * blue);
}

struct Nearest {
  int colour;
  double distance;
};

Nearest nearest(std::uint32_t rgb, const C64Colours& palette) {
  Nearest best{0, distance(rgb, palette[0])};
  for (int colour = 1; colour < 16; ++colour) {
    const double d = distance(rgb, palette[static_cast<std::size_t>(colour)]);
    if (d < best.distance) best = {colour, d};
  }
  return best;
}

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

// The three colour bytes of a pixel as one word, compared without decoding.
constexpr std::uint32_t kColourBytes =
    std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;

std::uint32_t colour_word(const std::uint8_t* pixel) {
  std::uint32_t word;
  std::memcpy(&word, pixel, sizeof word);
  return word & kColourBytes;
}

// Open addressing from colour words to census indexes, doubled whenever it
// is half full: a picture of 16 colours never clears more than a few KiB.
struct ColourTable {
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // no colour word has all bits set
  std::vector<std::uint32_t> keys = std::vector<std::uint32_t>(64, kEmpty);
  std::vector<std::uint16_t> values = std::vector<std::uint16_t>(64);
  std::size_t count = 0;

  std::size_t slot_for(std::uint32_t word) const {
    std::size_t slot = static_cast<std::size_t>((word * 2654435761u) >> 8) & (keys.size() - 1);
    while (keys[slot] != kEmpty && keys[slot] != word) slot = (slot + 1) & (keys.size() - 1);
    return slot;
  }

  void grow() {
    ColourTable larger;
    larger.keys.assign(2 * keys.size(), kEmpty);
    larger.values.resize(larger.keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i] == kEmpty) continue;
      const std::size_t slot = larger.slot_for(keys[i]);
      larger.keys[slot] = keys[i];
      larger.values[slot] = values[i];
    }
    keys.swap(larger.keys);
    values.swap(larger.values);
  }

  // The index stored for `word`; a new word gets `next`, and `added` says so.
  std::uint16_t find_or_add(std::uint32_t word, std::uint16_t next, bool& added) {
    const std::size_t slot = slot_for(word);
    added = keys[slot] == kEmpty;
    if (!added) return values[slot];
    keys[slot] = word;
    values[slot] = next;
    if (2 * ++count > keys.size()) grow();
    return next;
  }
};

// One pass over the picture: the pixel pairs are checked (in row order; the
// first pair of two colours is the message) and the colours counted.
// Neighbouring pixels mostly share a colour, and a picture has few colours:
// the pixel before and a small direct-mapped cache answer almost every
// look-up before the table is asked.
// Positions in messages are the scaled image's: `scale` multiplies them.
template <int kPixelWidth>
void census_pass(const RgbImage& image, const PictureArea& area, int scale,
                 const std::string& name, ColourCensus& census) {
  ColourTable table;
  constexpr std::size_t kCacheSize = 64;
  std::array<std::uint32_t, kCacheSize> cached_words;
  std::array<std::uint16_t, kCacheSize> cached_indexes{};
  cached_words.fill(ColourTable::kEmpty);
  std::uint32_t last_word = ~kColourBytes;  // matches no pixel
  std::uint16_t last_index = 0;
  for (int y = 0; y < kPixelLines; ++y) {
    const int image_y = area.top + y;
    const std::uint8_t* pixel =
        &image.pixels[4 * (static_cast<std::size_t>(image_y) *
                               static_cast<std::size_t>(image.width) +
                           static_cast<std::size_t>(area.left))];
    std::uint16_t* index = &census.index_of_pixel[static_cast<std::size_t>(y) * kPixelColumns];
    for (int x = 0; x < kPixelColumns; ++x, pixel += 4 * kPixelWidth) {
      std::uint32_t word;
      if constexpr (kPixelWidth == 2) {
        std::uint64_t pair;  // both pixels of the pair in one load
        std::memcpy(&pair, pixel, sizeof pair);
        word = static_cast<std::uint32_t>(pair) & kColourBytes;
        if ((static_cast<std::uint32_t>(pair >> 32) & kColourBytes) != word) {
          census.error = formatted("ERROR: Image '%s' has two colours in the pixel pair at %i, %i; "
                                "multicolour pixels are two pixels wide.",
                                name.c_str(), (area.left + 2 * x) * scale, image_y * scale);
          return;
        }
      } else {
        word = colour_word(pixel);
      }
      if (word != last_word) {
        last_word = word;
        const std::size_t line = (word * 2654435761u) >> 26;
        if (cached_words[line] == word) {
          last_index = cached_indexes[line];
        } else {
          bool added = false;
          last_index =
              table.find_or_add(word, static_cast<std::uint16_t>(census.colours.size()), added);
          if (added) {
            const int image_x = area.left + x * kPixelWidth;
            census.colours.push_back(
                {image.rgb(image_x, image_y), image_x * scale, image_y * scale});
          }
          cached_words[line] = word;
          cached_indexes[line] = last_index;
        }
      }
      index[x] = last_index;
    }
  }
}

ColourCensus take_census(const RgbImage& image, const PictureArea& area, int scale,
                         const std::string& name) {
  ColourCensus census;
  census.index_of_pixel.reset(new std::uint16_t[kPictureArea]);
  if (area.pixel_width == 2)
    census_pass<2>(image, area, scale, name, census);
  else
    census_pass<1>(image, area, scale, name, census);
  return census;
}

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

// How the image's colours fit one palette: each colour's nearest colour
// of it, as long as they are near and one to one.
struct PaletteFit {
  const Palette* palette = nullptr;
  std::vector<std::uint8_t> numbers;  // the C64 colour of each image colour that fits
  double total = 0;  // the distances of those colours and of the one that does not fit
  double farthest = 0;
  std::string error;  // the first colour that does not fit; empty when all do
};

PaletteFit fit_palette(const std::vector<ImageColour>& colours, const Palette& palette,
                       const std::string& name) {
  PaletteFit fit;
  fit.palette = &palette;
  std::array<int, 16> first_with = {};
  first_with.fill(-1);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const ImageColour& colour = colours[i];
    const Nearest found = nearest(colour.rgb, palette.colours);
    fit.total += found.distance;
    if (found.distance > kFarDistance) {
      fit.error = formatted("ERROR: Image '%s' has the colour #%06x at %i, %i, "
                            "which is far from every colour of palette %s.",
                            name.c_str(), colour.rgb, colour.x, colour.y, palette.name);
      return fit;
    }
    int& first = first_with[static_cast<std::size_t>(found.colour)];
    if (first >= 0) {
      const ImageColour& other = colours[static_cast<std::size_t>(first)];
      fit.error = formatted("ERROR: Image '%s' has the colours #%06x (at %i, %i) and #%06x "
                            "(at %i, %i), which both become colour %i [%s] of palette %s.",
                            name.c_str(), other.rgb, other.x, other.y, colour.rgb, colour.x,
                            colour.y, found.colour, colour_name(found.colour), palette.name);
      return fit;
    }
    first = static_cast<int>(i);
    fit.numbers.push_back(static_cast<std::uint8_t>(found.colour));
    fit.farthest = std::max(fit.farthest, found.distance);
  }
  return fit;
}

// The palette the image was drawn with: of those that all its colours fit,
// the nearest in total. Where none fits, the one that fits the most colours
// (the nearest of those) names the colour that breaks it. `only` is a
// palette's index, or -1 for any. A picture has at most 16 colours, so no
// palette is tried beyond the 17th colour.
PaletteFit choose_palette(const std::vector<ImageColour>& colours, int only,
                          const std::string& name) {
  const std::span<const Palette> palettes = c64_palettes();
  PaletteFit best;
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    if (only >= 0 && static_cast<int>(i) != only) continue;
    PaletteFit fit = fit_palette(colours, palettes[i], name);
    const auto better = [&] {
      if (best.palette == nullptr) return true;
      if (fit.numbers.size() != best.numbers.size()) return fit.numbers.size() > best.numbers.size();
      return fit.total < best.total;
    };
    if (better()) best = std::move(fit);
  }
  return best;
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
