#include "formats/lz_pack.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "formats/least_tree.h"
#include "formats/lz_cost.h"

namespace bitmosaic {
namespace {

using namespace lz_cost;

// What the parse makes least: bits, and cycles where the decoder's time is
// short. A bit weighs kBitWeight; a cycle `cycle`, 0 while time allows.
constexpr std::uint64_t kBitWeight = 1024;

struct Weights {
  std::uint64_t cycle = 0;

  std::uint64_t of(const StepCost& cost) const {
    return kBitWeight * static_cast<std::uint64_t>(cost.bits) + cycle * cost.cycles;
  }
};

// The parse keeps, for every place in the data, the cheapest ways found to
// get there: ending in a match and ending in a literal run, each with the
// offset a repeat match would take next. A few of each, with different
// offsets, so that a repeat match a little further on is not lost to a
// slightly cheaper arrival with another offset.
constexpr std::size_t kArrivals = 2;

// The match finder walks the places where the same two bytes occurred,
// nearest first, at most this many; a match this long ends the walk, and
// the parse takes it without looking for matches inside it (a blank
// picture would otherwise cost the square of its size).
constexpr int kChainSteps = 256;
constexpr std::size_t kLongEnough = 512;
// Lengths up to this are weighed one by one; beyond it only the longest.
constexpr std::size_t kEveryLengthUpTo = 64;

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

enum class Step : std::uint8_t { start, literals, new_match, repeat_match };

struct Arrival {
  std::uint64_t cost = kNever;  // weighed bits and cycles so far
  std::uint32_t offset = 0;     // the offset a repeat match would take; 0: none yet
  std::uint32_t from = 0;       // where the last step began
  std::uint8_t from_slot = 0;   // which arrival there it continued
  bool from_match = false;      // that arrival ended in a match (for new matches)
  Step step = Step::start;
};

// Keeps `arrival` among the kArrivals cheapest of `slots`, one per offset.
void keep(Arrival* slots, const Arrival& arrival) {
  Arrival* worst = slots;
  for (std::size_t t = 0; t < kArrivals; ++t) {
    if (slots[t].cost != kNever && slots[t].offset == arrival.offset) {
      if (arrival.cost < slots[t].cost) slots[t] = arrival;
      return;
    }
    if (slots[t].cost == kNever || (worst->cost != kNever && slots[t].cost > worst->cost))
      worst = &slots[t];
  }
  if (worst->cost == kNever || arrival.cost < worst->cost) *worst = arrival;
}

struct Match {
  std::size_t offset, length;
};

// For each length a match at `at` can have, the nearest offset that gives
// it: the matches found walking back, each longer than the last.
class MatchFinder {
 public:
  explicit MatchFinder(std::span<const std::uint8_t> data)
      : data_(data), head_(65536, kNone), previous_(data.size(), kNone) {}

  void find(std::size_t at, std::vector<Match>& found) {
    found.clear();
    const std::size_t size = data_.size();
    if (at + 1 >= size) return;
    const unsigned key = data_[at] << 8 | data_[at + 1];
    const std::size_t longest = size - at;
    std::size_t best = 1;
    int steps = 0;
    for (std::uint32_t from = head_[key]; from != kNone && steps < kChainSteps;
         from = previous_[from], ++steps) {
      if (data_[from + best] != data_[at + best]) continue;  // cannot be longer
      std::size_t length = 2;
      while (length < longest && data_[from + length] == data_[at + length]) ++length;
      if (length > best) {
        found.push_back({at - from, length});
        best = length;
        if (length == longest || length >= kLongEnough) break;
      }
    }
    previous_[at] = head_[key];
    head_[key] = static_cast<std::uint32_t>(at);
  }

  // Makes `at` a place later matches may take, without looking for any.
  void pass(std::size_t at) {
    if (at + 1 >= data_.size()) return;
    const unsigned key = data_[at] << 8 | data_[at + 1];
    previous_[at] = head_[key];
    head_[key] = static_cast<std::uint32_t>(at);
  }

 private:
  static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
  std::span<const std::uint8_t> data_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t> previous_;
};

struct Token {
  Step step;
  std::size_t length;
  std::size_t offset;
};

// The cheapest tokens for `data`, in order, by `weights`.
std::vector<Token> parse(std::span<const std::uint8_t> data, const Weights& weights) {
  const std::size_t size = data.size();
  std::vector<Arrival> by_match((size + 1) * kArrivals);
  std::vector<Arrival> by_literals((size + 1) * kArrivals);
  by_match[0].cost = 0;  // the start: a literal run follows, without a choice bit
  LeastTree runs(size + 1);
  MatchFinder finder(data);
  std::vector<Match> found;
  std::size_t inside_long_match = 0;
  // A literal run costs the same for each byte wherever it starts; the rest
  // of its cost changes only with the length of its count's gamma code.
  const std::uint64_t per_literal = weights.of({8, 22});
  const std::uint64_t choice_bit = weights.of({1, kBitCycles});
  const auto run_cost = [&](std::size_t count) {
    return weights.of(literals_cost(count, true)) - per_literal * count;
  };

  for (std::size_t at = 0; at <= size; ++at) {
    Arrival* matched = &by_match[at * kArrivals];
    Arrival* literal = &by_literals[at * kArrivals];
    // Literal runs that end here, from the cheapest start in each span of
    // counts whose gamma code has one length.
    for (std::size_t bits = 0; (std::size_t{1} << bits) <= at; ++bits) {
      const std::size_t shortest = std::size_t{1} << bits;
      const std::size_t longest = 2 * shortest - 1;
      const std::size_t first = at > longest ? at - longest : 0;
      std::size_t start;
      if (!runs.least(first, at - shortest, start)) continue;
      const Arrival* before = &by_match[start * kArrivals];
      for (std::size_t t = 0; t < kArrivals; ++t) {
        if (before[t].cost == kNever) continue;
        const std::uint64_t cost = before[t].cost + (start == 0 ? 0 : choice_bit) +
                                   per_literal * (at - start) + run_cost(shortest);
        keep(literal, {cost, before[t].offset, static_cast<std::uint32_t>(start),
                       static_cast<std::uint8_t>(t), true, Step::literals});
      }
    }
    std::uint64_t best_match = kNever;
    for (std::size_t t = 0; t < kArrivals; ++t) best_match = std::min(best_match, matched[t].cost);
    if (best_match != kNever)
      runs.set(at, static_cast<std::int64_t>(best_match + (at == 0 ? 0 : choice_bit)) -
                       static_cast<std::int64_t>(per_literal * at));
    if (at == size) break;

    if (at < inside_long_match) {
      finder.pass(at);
      continue;
    }
    finder.find(at, found);
    if (!found.empty() && found.back().length >= kLongEnough)
      inside_long_match = at + found.back().length;
    if (at == 0) continue;  // the stream starts with a literal run
    // A new match may follow either kind of step.
    const Arrival* base = nullptr;
    std::uint8_t base_slot = 0;
    bool base_is_match = false;
    for (std::size_t t = 0; t < kArrivals; ++t) {
      if (matched[t].cost != kNever && (base == nullptr || matched[t].cost < base->cost))
        base = &matched[t], base_slot = static_cast<std::uint8_t>(t), base_is_match = true;
      if (literal[t].cost != kNever && (base == nullptr || literal[t].cost < base->cost))
        base = &literal[t], base_slot = static_cast<std::uint8_t>(t), base_is_match = false;
    }
    if (base != nullptr) {
      std::size_t covered = 1;
      for (const Match& match : found) {
        const auto weigh = [&](std::size_t length) {
          keep(&by_match[(at + length) * kArrivals],
               {base->cost + weights.of(new_match_cost(match.offset, length)),
                static_cast<std::uint32_t>(match.offset), static_cast<std::uint32_t>(at),
                base_slot, base_is_match, Step::new_match});
        };
        for (std::size_t length = covered + 1; length <= match.length; ++length)
          if (length <= kEveryLengthUpTo || length == match.length) weigh(length);
        covered = match.length;
      }
    }
    // Repeat matches after a literal run.
    for (std::size_t t = 0; t < kArrivals; ++t) {
      const Arrival& from = literal[t];
      if (from.cost == kNever || from.offset == 0) continue;
      const std::size_t offset = from.offset;
      std::size_t longest = 0;
      while (at + longest < size && longest < kLongEnough &&
             data[at + longest] == data[at + longest - offset])
        ++longest;
      for (std::size_t length = 1; length <= longest; ++length)
        if (length <= kEveryLengthUpTo || length == longest)
          keep(&by_match[(at + length) * kArrivals],
               {from.cost + weights.of(repeat_match_cost(length)),
                static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(at),
                static_cast<std::uint8_t>(t), false, Step::repeat_match});
    }
  }

  // The cheapest arrival at the end (the end code costs the same after
  // either), then back along the steps.
  const Arrival* last = nullptr;
  for (std::vector<Arrival>* kind : {&by_match, &by_literals})
    for (std::size_t t = 0; t < kArrivals; ++t) {
      const Arrival& arrival = (*kind)[size * kArrivals + t];
      if (arrival.cost != kNever && arrival.step != Step::start &&
          (last == nullptr || arrival.cost < last->cost))
        last = &arrival;
    }
  std::vector<Token> tokens;
  std::size_t at = size;
  for (const Arrival* step = last; step->step != Step::start;) {
    tokens.push_back({step->step, at - step->from, step->offset});
    at = step->from;
    const std::vector<Arrival>& kind =
        step->step == Step::literals || (step->step == Step::new_match && step->from_match)
            ? by_match
            : by_literals;
    step = &kind[at * kArrivals + step->from_slot];
  }
  std::reverse(tokens.begin(), tokens.end());
  return tokens;
}

StepCost token_cost(const Token& token, bool first) {
  switch (token.step) {
    case Step::literals: return literals_cost(token.length, first);
    case Step::new_match: return new_match_cost(token.offset, token.length);
    case Step::repeat_match: return repeat_match_cost(token.length);
    case Step::start: break;
  }
  return {0, 0};
}

// The decoder's cycles for `tokens`, the end code included.
std::uint64_t cycles_of(const std::vector<Token>& tokens) {
  std::uint64_t cycles = end_cost().cycles;
  for (const Token& token : tokens) cycles += token_cost(token, &token == &tokens.front()).cycles;
  return cycles;
}

// The tokens for `data` that take the fewest bits within `most_cycles`: by
// bits alone where that fits, else by the least weight of cycles found to
// fit (doubled until it does, then halved back where it still does).
std::vector<Token> parse_within(std::span<const std::uint8_t> data, std::uint64_t most_cycles) {
  std::vector<Token> tokens = parse(data, Weights{0});
  if (cycles_of(tokens) <= most_cycles) return tokens;
  constexpr std::uint64_t kHeaviest = 1 << 20;  // bits no longer count: literal runs
  std::uint64_t too_light = 0;
  std::uint64_t heavy = 1;
  for (;;) {
    tokens = parse(data, Weights{heavy});
    if (cycles_of(tokens) <= most_cycles || heavy >= kHeaviest) break;
    too_light = heavy;
    heavy *= 2;
  }
  while (heavy - too_light > std::max<std::uint64_t>(1, heavy / 8)) {
    const std::uint64_t middle = (too_light + heavy) / 2;
    std::vector<Token> lighter = parse(data, Weights{middle});
    if (cycles_of(lighter) <= most_cycles) {
      tokens.swap(lighter);
      heavy = middle;
    } else {
      too_light = middle;
    }
  }
  return tokens;
}

// Bits go into a bit byte placed in the stream where the decoder will read
// it: at the end of what is written when its first bit is written.
struct BitWriter {
  std::vector<std::uint8_t>& out;
  std::size_t bit_byte = 0;
  int free_bits = 0;

  void bit(bool one) {
    if (free_bits == 0) {
      bit_byte = out.size();
      out.push_back(0);
      free_bits = 8;
    }
    --free_bits;
    if (one) out[bit_byte] |= static_cast<std::uint8_t>(1 << free_bits);
  }

  // gamma(v) without its first bit, which is (v > 1).
  void gamma_rest(std::size_t v) {
    for (int place = static_cast<int>(std::bit_width(v)) - 2; place >= 0; --place) {
      if (place != static_cast<int>(std::bit_width(v)) - 2) bit(true);
      bit((v >> place) & 1);
    }
    if (v > 1) bit(false);
  }

  void gamma(std::size_t v) {
    bit(v > 1);
    gamma_rest(v);
  }
};

}  // namespace

int lz_match_bits(std::size_t offset, std::size_t length) {
  return new_match_cost(offset, length).bits;
}

void lz_pack(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out,
             std::uint64_t most_cycles) {
  BitWriter writer{out};
  std::size_t at = 0;
  for (const Token& token : parse_within(data, most_cycles)) {
    switch (token.step) {
      case Step::literals:
        if (at != 0) writer.bit(false);  // after a match: a literal run
        writer.gamma(token.length);
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + token.length));
        break;
      case Step::new_match: {
        writer.bit(true);
        const std::size_t back = token.offset - 1;
        writer.gamma(back / kLowUnits + 1);
        out.push_back(static_cast<std::uint8_t>((back % kLowUnits) << 1 | (token.length > 2)));
        writer.gamma_rest(token.length - 1);
        break;
      }
      case Step::repeat_match:
        writer.bit(false);  // after a literal run: the last offset again
        writer.gamma(token.length);
        break;
      case Step::start:
        break;
    }
    at += token.length;
  }
  writer.bit(true);
  writer.gamma(kEndHigh);
}

}  // namespace bitmosaic
