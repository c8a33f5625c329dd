// Run-length coding with an escape byte, as the C64 paint programs pack
// their pictures: the escape byte starts a run of one value, every other
// byte stands for itself. The programs differ only in the escape byte, in
// the order of the run's count and value, in what a count of 0 means, and
// in two rarer commands (a run with a two-byte count, a block of literal
// bytes); each packed format is these facts and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace bitmosaic {

enum class RunOrder {
  value_then_count,  // escape, value, count (the Koala paint program's "GG" files)
  count_then_value,  // escape, count, value (Amica Paint, Drazpaint, Zoomatic)
};

// What a run whose count byte is 0 stands for when it is read.
enum class ZeroRun {
  as_256,  // 256 copies
  as_none, // no bytes at all
  as_end,  // the end of the data (Amica Paint's end marker: escape, 0)
};

// No such command byte in the coding.
inline constexpr int kNoCommand = -1;

struct RunCoding {
  std::uint8_t escape;
  RunOrder order;
  ZeroRun zero;
  // A second escape byte whose run has a two-byte count, low byte first,
  // then the value (Boogie Down Paint 5.00).
  int long_escape = kNoCommand;
  // A byte that starts a block of literal bytes: a two-byte count, low byte
  // first, then that many bytes as they are.
  int literal_escape = kNoCommand;
  // Whether a byte that starts no command stands for itself; where it does
  // not, such a byte is an error.
  bool bare_literals = true;
};

// The room pack_runs_into needs for `size` bytes: three bytes each, where every
// byte is the escape byte, and 8 bytes over which it may write a word.
constexpr std::size_t packed_bound(std::size_t size) { return 3 * size + 8; }

// Writes `data` in the coding to the start of `out` (at least
// packed_bound(data.size()) bytes) and returns how many bytes it wrote: as
// few as the coding allows, readable by every reader whatever it makes of a
// count of 0. Counts are 1 to 255 (longer runs are split), a run is written
// from 4 equal bytes on, and from 1 when the byte is the escape byte itself
// (a literal escape byte is a run of one). The coding's `zero` is not used:
// no count is 0; nor are the rarer commands.
std::size_t pack_runs_into(std::span<const std::uint8_t> data, const RunCoding& coding,
                           std::span<std::uint8_t> out);

// The same, appended to `out`.
void pack_runs(std::span<const std::uint8_t> data, const RunCoding& coding,
               std::vector<std::uint8_t>& out);

// What pack_runs_into writes for `count` copies of `value`: runs of 255 and the
// rest. Returns the bytes written to `out` (packed_bound(count) bytes).
std::size_t pack_repeated(std::uint8_t value, std::size_t count, const RunCoding& coding,
                          std::span<std::uint8_t> out);

// The escape byte with which pack_runs_into makes the fewest bytes of `data`
// (the order of count and value does not change it); the lowest of several.
std::uint8_t cheapest_escape(std::span<const std::uint8_t> data);

struct Unpacking {
  std::size_t consumed = 0;  // packed bytes read
  std::size_t made = 0;      // bytes of `out` filled
  bool saw_zero = false;     // a run with the count 0 was read
  bool ended = false;        // the end marker was read (ZeroRun::as_end)
};

// Fills `out` from `packed`, all of it, or with ZeroRun::as_end up to the
// end marker. Nothing when fewer than `at_least` bytes were made (0: all of
// `out`) because the packed bytes ran out or ended, when a run reaches past
// the end of `out` (a run that overshoots is not data of this size), or at
// a byte that starts no command where bare bytes are errors. With
// ZeroRun::as_end, an end marker right after the last byte is read too.
std::optional<Unpacking> unpack_runs(std::span<const std::uint8_t> packed, const RunCoding& coding,
                                     std::span<std::uint8_t> out, std::size_t at_least = 0);

}  // namespace bitmosaic
