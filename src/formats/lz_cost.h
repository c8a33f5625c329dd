// The LZ coding's costs, shared by the packer, which weighs its choices by
// them, and the reference unpacker, which counts what the 6502 decoder
// spends: the bits each step takes in the stream, and the decoder's cycles.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "formats/lz_pack.h"

namespace bitmosaic::lz_cost {
// A new match's offset keeps 7 bits in its byte; the rest is gamma coded.
constexpr std::size_t kLowUnits = 128;
// The high part that ends the stream: the decoder stops at any value with
// a high byte, which no offset within kLzLongestData has.
constexpr unsigned kEndHigh = 256;
static_assert((kLzLongestData - 1) / kLowUnits + 1 < kEndHigh);

// Bits of gamma(v), v >= 1.
inline int gamma_bits(std::size_t v) { return 2 * static_cast<int>(std::bit_width(v)) - 1; }

// The cycles of displayer.asm's decoder, counted from its instructions and
// rounded up. A bit costs its shift and branch (8 cycles), and a bit byte
// once in 8 bits its read (29), 12 a bit in all; the rest:
constexpr std::uint64_t kBitCycles = 12;
// gamma(v) besides its bits: the call and 13 for each bit of the number.
inline std::uint64_t gamma_cycles(std::size_t v) { return 20 + 13 * (std::bit_width(v) - 1); }
// A copy: the call, 22 a byte (21, and 1 where the source crosses a page),
// 20 a whole page.
inline std::uint64_t copy_cycles(std::size_t length) { return 42 + 22 * length + 20 * (length / 256); }
// Each step besides its gamma codes, copy and bits.
constexpr std::uint64_t kLiteralsCycles = 38;
constexpr std::uint64_t kRepeatCycles = 34;
constexpr std::uint64_t kNewMatchCycles = 80;
// The end, and the reads of packed bytes that cross a page (4 cycles each,
// one in 256 bytes).
constexpr std::uint64_t kEndCycles = 10 + 4 * (kLzLongestData * 9 / 8 / 256 + 1);

struct StepCost {
  int bits;  // in the stream
  std::uint64_t cycles;
};

inline StepCost literals_cost(std::size_t count, bool first) {
  const int read = (first ? 0 : 1) + gamma_bits(count);
  return {read + 8 * static_cast<int>(count),
          kBitCycles * read + gamma_cycles(count) + copy_cycles(count) + kLiteralsCycles};
}

inline StepCost repeat_match_cost(std::size_t length) {
  const int read = 1 + gamma_bits(length);
  return {read, kBitCycles * read + gamma_cycles(length) + copy_cycles(length) + kRepeatCycles};
}

inline StepCost new_match_cost(std::size_t offset, std::size_t length) {
  const std::size_t high = (offset - 1) / kLowUnits + 1;
  const int read = 1 + gamma_bits(high) + gamma_bits(length - 1) - 1;  // one bit in the byte
  return {read + 8, kBitCycles * read + gamma_cycles(high) + gamma_cycles(length - 1) +
                        copy_cycles(length) + kNewMatchCycles};
}

inline StepCost end_cost() {
  const int read = 1 + gamma_bits(kEndHigh);
  return {read, kBitCycles * read + gamma_cycles(kEndHigh) + kEndCycles};
}

}  // namespace bitmosaic::lz_cost
