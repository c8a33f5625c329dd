// The coding of the picture inside the .prg program: an LZ coding whose
// decoder is small enough to sit in the program beside it (displayer.asm)
// and fast enough to unpack a picture in well under a second.
//
// The packed bytes are one stream of whole bytes (literal bytes, offset
// bytes) with the bits of the codes among them: a bit is taken from the
// top of a bit byte, and a new bit byte is read from the stream, at the
// place it has reached, when a bit is wanted and the last one is used up.
// gamma(v), v >= 1, is the bits of v after its leading 1, each preceded by
// a 1, and then a 0: 1 is "0", 2 "100", 3 "110", 4 "10100".
//
//   literal run    gamma(count), then count bytes as they are
//   new match      gamma(high + 1), then a byte (low << 1 | b), where the
//                  offset back from the next byte is high * 128 + low + 1
//                  and b is the first bit of gamma(length - 1), whose
//                  other bits follow; length >= 2
//   repeat match   gamma(length): the last match's offset again
//   end            gamma(256) where a new match's high part would be
//
// The stream starts with a literal run. After a literal run one bit
// chooses: 1 a new match, 0 a repeat match. After a match: 0 a literal run,
// 1 a new match (or the end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace bitmosaic {

// The most bytes the coding packs: offsets then stay below 128 * 128 and
// lengths below 65536, the decoder's 16 bits.
inline constexpr std::size_t kLzLongestData = 16384;

// No bound on the decoder's cycles.
inline constexpr std::uint64_t kLzAnyCycles = ~std::uint64_t{0};

// Appends `data` (1 to kLzLongestData bytes) to `out`, packed as small as
// the parse finds: every way to cut the data into literal runs and matches
// is weighed by the bits it takes. Where the 6502 decoder would take more
// than `most_cycles` to unpack that (by lz_unpack's count), the parse weighs
// cycles too, as little as keeps it within them: a picture of many short
// matches then packs a little larger and unpacks in time.
void lz_pack(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out,
             std::uint64_t most_cycles = kLzAnyCycles);

// The bits a new match of `length` (>= 2) bytes at `offset` takes, with the
// bit that chooses it, and the bits a literal byte takes at the least:
// for models of what the packing makes of some bytes.
int lz_match_bits(std::size_t offset, std::size_t length);
inline constexpr int kLzLiteralBits = 8;

struct LzUnpacked {
  std::size_t consumed;  // packed bytes read, the end code included
  // What the displayer's decoder (displayer.asm) takes for them, from its
  // first gamma code to the end code, counted from its instructions and
  // never less than it takes.
  std::uint64_t cycles;
};

// Fills all of `out` from the start of `packed`. Nothing when the stream
// breaks off, does not start with a literal run, repeats an offset before
// any match, reaches back before the start of `out` or past its end, or
// ends before `out` is full; it never reads past the end of `packed`.
std::optional<LzUnpacked> lz_unpack(std::span<const std::uint8_t> packed,
                                    std::span<std::uint8_t> out);

}  // namespace bitmosaic
