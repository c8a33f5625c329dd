// Run-length coding with an escape byte, as the C64 paint programs pack
// their pictures: the escape byte starts a run of one value, every other
// byte stands for itself. The programs differ only in the escape byte, in
// the order of the run's count and value, and in what a count of 0 means;
// each packed format is these three facts and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace bitmosaic {

enum class RunOrder {
  value_then_count,  // escape, value, count (the Koala paint program's "GG" files)
  count_then_value,  // escape, count, value (Amica Paint, Drazpaint)
};

// What a run whose count byte is 0 stands for when it is read.
enum class ZeroRun {
  as_256,  // 256 copies
  as_none, // no bytes at all
  as_end,  // the end of the data (Amica Paint's end marker: escape, 0)
};

struct RunCoding {
  std::uint8_t escape;
  RunOrder order;
  ZeroRun zero;
};

// Appends `data` in the coding to `out`, as short as the coding allows and
// readable by every reader whatever it makes of a count of 0: counts are 1
// to 255 (longer runs are split), a run is written from 4 equal bytes on,
// and from 1 when the byte is the escape byte itself (a literal escape byte
// is a run of one). The coding's `zero` is not used: no count is 0.
void pack_runs(std::span<const std::uint8_t> data, const RunCoding& coding,
               std::vector<std::uint8_t>& out);

struct Unpacking {
  std::size_t consumed = 0;  // packed bytes read
  bool saw_zero = false;     // a run with the count 0 was read
  bool ended = false;        // the end marker was read (ZeroRun::as_end)
};

// Fills all of `out` from `packed`. Nothing when the packed bytes run out
// first, or when a run reaches past the end of `out`: a run that overshoots
// is not data of this size. With ZeroRun::as_end, reading stops at the end
// marker; `out` must be full by then.
std::optional<Unpacking> unpack_runs(std::span<const std::uint8_t> packed, const RunCoding& coding,
                                     std::span<std::uint8_t> out);

}  // namespace bitmosaic
