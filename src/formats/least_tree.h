// The least value over a range of places, kept as values are set place by
// place: a segment tree over the places.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace bitmosaic {

// The least of a value per place over a range of places: the packer's
// literal runs, which cost the same per byte wherever they start and whose
// count's gamma code changes only at powers of two.
struct LeastTree {
  std::size_t leaves = 1;
  std::vector<std::int64_t> value;
  std::vector<std::uint32_t> place;

  explicit LeastTree(std::size_t size) {
    while (leaves < size) leaves *= 2;
    value.assign(2 * leaves, std::numeric_limits<std::int64_t>::max());
    place.assign(2 * leaves, 0);
  }

  void set(std::size_t at, std::int64_t v) {
    std::size_t node = at + leaves;
    value[node] = v;
    place[node] = static_cast<std::uint32_t>(at);
    for (node /= 2; node > 0; node /= 2) {
      const std::size_t least = value[2 * node] <= value[2 * node + 1] ? 2 * node : 2 * node + 1;
      value[node] = value[least];
      place[node] = place[least];
    }
  }

  // The place of the least value in first..last; false where none is set.
  bool least(std::size_t first, std::size_t last, std::size_t& at) const {
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (std::size_t low = first + leaves, high = last + leaves + 1; low < high;
         low /= 2, high /= 2) {
      if (low & 1) {
        if (value[low] < best) best = value[low], at = place[low];
        ++low;
      }
      if (high & 1) {
        --high;
        if (value[high] < best) best = value[high], at = place[high];
      }
    }
    return best != std::numeric_limits<std::int64_t>::max();
  }
};

}  // namespace bitmosaic
