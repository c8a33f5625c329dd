#include "import/colour_census.h"

#include <array>
#include <bit>
#include <cstring>

#include "base/message.h"
#include "picture/colour_grid.h"

namespace bitmosaic {
namespace {

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

}  // namespace

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

}  // namespace bitmosaic
