#include "formats/run_length.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "picture/byte_cursor.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kLongestRun = 255;
// A run costs three bytes, so it pays off from four equal bytes; the escape
// byte costs three bytes even alone.
constexpr std::size_t kShortestRun = 4;
constexpr std::size_t kRunBytes = 3;

// Eight bytes at a time: most of a picture is bytes unlike their neighbours,
// which the packer passes over a word at a time.
constexpr std::uint64_t kEveryByte = 0x0101010101010101u;

std::uint64_t eight_bytes_at(const std::uint8_t* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// 0x80 in each byte of `word` that is zero, and 0 in every other bit.
constexpr std::uint64_t zero_bytes(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F * kEveryByte;
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

// How many bytes of memory order come before the first byte that
// zero_bytes() marks.
std::size_t bytes_before_mark(std::uint64_t marks) {
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
  else
    return static_cast<std::size_t>(std::countl_zero(marks)) / 8;
}

// `word` with its first `count` (0 to 7) bytes of memory order dropped.
std::uint64_t after_bytes(std::uint64_t word, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little)
    return word >> (8 * count);
  else
    return word << (8 * count);
}

// The length of the run of equal bytes that starts at `from`, at most
// `longest`.
std::size_t run_length_at(const std::uint8_t* from, const std::uint8_t* end, std::size_t longest) {
  const std::uint8_t value = *from;
  const std::uint8_t* last =
      end - from > static_cast<std::ptrdiff_t>(longest) ? from + longest : end;
  const std::uint8_t* at = from;
  if constexpr (std::endian::native == std::endian::little) {
    // Eight at a time: the first byte that differs is the lowest one of
    // the difference that is not zero.
    const std::uint64_t values = value * kEveryByte;
    while (last - at >= 8) {
      const std::uint64_t differences = eight_bytes_at(at) ^ values;
      if (differences != 0)
        return static_cast<std::size_t>(at - from) +
               static_cast<std::size_t>(std::countr_zero(differences)) / 8;
      at += 8;
    }
  }
  while (at != last && *at == value) ++at;
  return static_cast<std::size_t>(at - from);
}

// Where the run of equal bytes that reaches the word's last byte and goes
// on into the next word starts (its byte in memory order), given the
// flags of the bytes equal to the next; 8 where there is none.
std::size_t chain_to_next_word(std::uint64_t equal) {
  constexpr std::uint64_t kFlags = 0x80 * kEveryByte;
  const std::uint64_t unequal = ~equal & kFlags;
  if constexpr (std::endian::native == std::endian::little) {
    if ((equal >> 63) == 0) return 8;
    return unequal == 0 ? 0 : 8 - static_cast<std::size_t>(std::countl_zero(unequal)) / 8;
  } else {
    if ((equal & 0x80) == 0) return 8;
    return unequal == 0 ? 0 : 8 - static_cast<std::size_t>(std::countr_zero(unequal) + 1) / 8;
  }
}

// The flag of byte `index` (0 to 7, memory order) as zero_bytes() sets it.
std::uint64_t flag_of_byte(std::size_t index) {
  if constexpr (std::endian::native == std::endian::little)
    return std::uint64_t{0x80} << (8 * index);
  else
    return std::uint64_t{0x80} << (56 - 8 * index);
}

// Walks `data` run by run, as the packer reads it: runs of equal bytes of
// at most kLongestRun. Bytes that start no run worth telling (see below)
// go to `word(bytes, count)` eight at a time (count 8, or fewer before such
// a run in the same word); those runs go to `run(first byte, length)`. The
// bytes passed to `word` are the eight at their place, of which the first
// `count` are meant. Every run of two bytes and more is told; with
// `long_runs` set, only those of kShortestRun bytes and more and every
// `escape` byte, shorter runs standing for themselves among the others.
template <typename Word, typename Run>
void walk_runs(std::span<const std::uint8_t> data, bool long_runs, std::uint8_t escape,
               Word&& word, Run&& run) {
  const std::uint8_t* at = data.data();
  const std::uint8_t* const end = at + data.size();
  const std::uint64_t escape_bytes = escape * kEveryByte;
  while (end - at > 8) {
    const std::uint64_t here = eight_bytes_at(at);
    const std::uint64_t equal = zero_bytes(here ^ eight_bytes_at(at + 1));  // to the next byte
    std::uint64_t marks = equal;
    if (long_runs) {
      const std::uint64_t escapes = zero_bytes(here ^ escape_bytes);
      marks = escapes;
      if (equal != 0) {
        // Four equal bytes from a byte on: it and the next two equal their
        // next. A run that goes on into the next word is told from its
        // start.
        marks |= equal & after_bytes(equal, 1) & after_bytes(equal, 2);
        const std::size_t chain = chain_to_next_word(equal);
        if (chain < 8) marks |= flag_of_byte(chain);
      }
    }
    if (marks == 0) {
      word(here, 8);
      at += 8;
      continue;
    }
    const std::size_t literal = bytes_before_mark(marks);
    word(here, literal);
    at += literal;
    // The run that starts here, as far as this word tells; where it reaches
    // the word's last byte, it may go on.
    const std::uint64_t unequal = ~after_bytes(equal, literal) & (0x80 * kEveryByte);
    const std::size_t in_word = 8 - literal;
    const std::size_t pairs = unequal == 0 ? in_word : bytes_before_mark(unequal);
    const std::size_t length =
        pairs < in_word ? pairs + 1
                        : in_word + run_length_at(at + in_word, end, kLongestRun - in_word);
    run(at, length);
    at += length;
  }
  while (at != end) {
    const std::size_t length = run_length_at(at, end, kLongestRun);
    run(at, length);
    at += length;
  }
}

// Writes one run, or the one to three bytes that stand for themselves
// (writing three is cheaper than counting them).
template <RunOrder kOrder>
std::uint8_t* put_run(std::uint8_t* put, std::uint8_t value, std::size_t length,
                      std::uint8_t escape) {
  if (length >= kShortestRun || value == escape) {
    const auto count = static_cast<std::uint8_t>(length);
    put[0] = escape;
    put[1] = kOrder == RunOrder::value_then_count ? value : count;
    put[2] = kOrder == RunOrder::value_then_count ? count : value;
    return put + kRunBytes;
  }
  put[0] = value;
  put[1] = value;
  put[2] = value;
  return put + length;
}

template <RunOrder kOrder>
std::size_t pack_in_order(std::span<const std::uint8_t> data, std::uint8_t escape,
                          std::span<std::uint8_t> out) {
  std::uint8_t* put = out.data();
  walk_runs(
      data, true, escape,
      [&put](std::uint64_t bytes, std::size_t count) {
        // All eight are written; `put` moves over those that count.
        std::memcpy(put, &bytes, sizeof bytes);
        put += count;
      },
      [&put, escape](const std::uint8_t* first, std::size_t length) {
        put = put_run<kOrder>(put, *first, length, escape);
      });
  return static_cast<std::size_t>(put - out.data());
}

// Adds `add` to the entry of each of the eight bytes of `bytes`: spelled
// out, since a loop costs as much again as the work.
void add_to_each_byte(std::array<std::size_t, 256>& table, std::uint64_t bytes, std::size_t add) {
  table[bytes & 0xFF] += add;
  table[bytes >> 8 & 0xFF] += add;
  table[bytes >> 16 & 0xFF] += add;
  table[bytes >> 24 & 0xFF] += add;
  table[bytes >> 32 & 0xFF] += add;
  table[bytes >> 40 & 0xFF] += add;
  table[bytes >> 48 & 0xFF] += add;
  table[bytes >> 56] += add;
}

}  // namespace

std::size_t pack_runs_into(std::span<const std::uint8_t> data, const RunCoding& coding,
                           std::span<std::uint8_t> out) {
  return coding.order == RunOrder::value_then_count
             ? pack_in_order<RunOrder::value_then_count>(data, coding.escape, out)
             : pack_in_order<RunOrder::count_then_value>(data, coding.escape, out);
}

void pack_runs(std::span<const std::uint8_t> data, const RunCoding& coding,
               std::vector<std::uint8_t>& out) {
  const std::size_t start = out.size();
  out.resize(start + packed_bound(data.size()));
  out.resize(start + pack_runs_into(data, coding, std::span(out).subspan(start)));
}

std::size_t pack_repeated(std::uint8_t value, std::size_t count, const RunCoding& coding,
                          std::span<std::uint8_t> out) {
  std::uint8_t* put = out.data();
  for (; count > 0; count -= std::min(count, kLongestRun)) {
    const std::size_t piece = std::min(count, kLongestRun);
    put = coding.order == RunOrder::value_then_count
              ? put_run<RunOrder::value_then_count>(put, value, piece, coding.escape)
              : put_run<RunOrder::count_then_value>(put, value, piece, coding.escape);
  }
  return static_cast<std::size_t>(put - out.data());
}

std::uint8_t cheapest_escape(std::span<const std::uint8_t> data) {
  // A run costs the same whatever the escape byte is, unless its value is
  // the escape byte: then every piece of it is a run, which costs more only
  // for a piece of one byte (3 instead of 1) or two (3 instead of 2). A
  // value that does not occur costs nothing; most pictures leave some out.
  std::array<std::size_t, 256> extra{};
  std::size_t at = 0;
  for (; data.size() - at >= 8; at += 8) add_to_each_byte(extra, eight_bytes_at(&data[at]), 1);
  for (; at < data.size(); ++at) ++extra[data[at]];
  for (std::size_t value = 0; value < extra.size(); ++value)
    if (extra[value] == 0) return static_cast<std::uint8_t>(value);
  // Every value occurs. Counted as if every byte were a piece of one byte
  // (2 more each), then put right for the runs of two bytes and more.
  for (std::size_t& count : extra) count *= kRunBytes - 1;
  walk_runs(
      data, false, 0, [](std::uint64_t, std::size_t) {},
      [&extra](const std::uint8_t* first, std::size_t length) {
        if (length == 1) return;
        const std::size_t rest = length % kLongestRun;
        extra[*first] -= (kRunBytes - 1) * length;
        if (rest == 1 || rest == 2) extra[*first] += kRunBytes - rest;
      });
  return static_cast<std::uint8_t>(std::min_element(extra.begin(), extra.end()) - extra.begin());
}

std::optional<Unpacking> unpack_runs(std::span<const std::uint8_t> packed, const RunCoding& coding,
                                     std::span<std::uint8_t> out, std::size_t at_least) {
  Unpacking result;
  ByteCursor in(packed);
  std::size_t made = 0;
  const bool value_first = coding.order == RunOrder::value_then_count;
  const bool end_marker = coding.zero == ZeroRun::as_end && !value_first;
  // Where the escape byte is the only command, bytes up to the next one are
  // copied as they are, found a word at a time.
  const bool one_command = coding.long_escape == kNoCommand &&
                           coding.literal_escape == kNoCommand && coding.bare_literals;
  const std::uint64_t escapes = coding.escape * kEveryByte;
  // The bulk, eight bytes at a time, where the escape byte is the only
  // command and far enough from either end for whole words and whole runs:
  // literal bytes are copied a word at a time (all eight written, `made`
  // moving over those before an escape byte), short runs written as a word.
  // The rest, and every other coding, byte by byte below.
  // The cursor hands the bulk over as one span, which the loop walks with
  // its own bounds (each checked before its bytes are read) and gives back
  // by what it took.
  if (one_command) {
    const std::span<const std::uint8_t> bulk = in.rest();
    const std::uint8_t* const start = bulk.data();
    const std::uint8_t* at = start;
    const std::uint8_t* const end = start + bulk.size();
    std::uint8_t* const put = out.data();
    while (end - at >= 8 && out.size() - made >= 256 + 8) {
      const std::uint64_t word = eight_bytes_at(at);
      const std::uint64_t marks = zero_bytes(word ^ escapes);
      std::memcpy(put + made, &word, sizeof word);
      if (marks == 0) {
        made += 8;
        at += 8;
        continue;
      }
      const std::size_t literal = bytes_before_mark(marks);
      made += literal;
      at += literal;
      if (end - at < 3) break;  // a run that may be cut short
      if (end_marker && at[1] == 0) break;
      const std::uint8_t value = value_first ? at[1] : at[2];
      std::size_t count = value_first ? at[2] : at[1];
      if (count == 0) {
        result.saw_zero = true;
        count = coding.zero == ZeroRun::as_256 ? 256 : 0;
      }
      at += 3;
      const std::uint64_t values = value * kEveryByte;
      std::memcpy(put + made, &values, sizeof values);
      if (count > 8) std::memset(put + made, value, count);
      made += count;
    }
    in.skip(static_cast<std::size_t>(at - start));
  }
  while (made < out.size() && !in.at_end()) {
    const std::uint8_t byte = in.peek(1)[0];
    std::size_t count = 0;
    std::uint8_t value = 0;
    if (byte == coding.escape) {
      const std::span<const std::uint8_t> marker = in.peek(2);
      if (end_marker && !marker.empty() && marker[1] == 0) {
        result.saw_zero = true;
        result.ended = true;
        in.skip(2);
        break;
      }
      const std::span<const std::uint8_t> run = in.peek(3);
      if (run.empty()) break;  // a run cut short: the data ends here
      in.skip(3);
      value = run[value_first ? 1 : 2];
      const std::uint8_t count_byte = run[value_first ? 2 : 1];
      count = count_byte;
      if (count_byte == 0) {
        result.saw_zero = true;
        count = coding.zero == ZeroRun::as_256 ? 256 : 0;
      }
    } else if (byte == coding.long_escape) {
      const std::span<const std::uint8_t> run = in.peek(4);
      if (run.empty()) break;
      in.skip(4);
      count = run[1] | static_cast<std::size_t>(run[2]) << 8;
      value = run[3];
    } else if (byte == coding.literal_escape) {
      const std::span<const std::uint8_t> head = in.peek(3);
      if (head.empty()) break;
      count = head[1] | static_cast<std::size_t>(head[2]) << 8;
      if (count > out.size() - made) return std::nullopt;
      ByteCursor block = in.from(in.position() + 3);
      const std::span<const std::uint8_t> literal = block.take(count);
      if (block.overrun) break;
      std::copy(literal.begin(), literal.end(), out.begin() + static_cast<std::ptrdiff_t>(made));
      made += count;
      in = block;
      continue;
    } else if (coding.bare_literals) {
      out[made++] = in.byte();
      continue;
    } else {
      return std::nullopt;  // a byte that is no command
    }
    if (count > out.size() - made) return std::nullopt;
    if (count <= 8 && out.size() - made >= 8) {
      // A short run as one word; the bytes after it are written again later.
      const std::uint64_t values = value * kEveryByte;
      std::memcpy(out.data() + made, &values, sizeof values);
    } else {
      std::memset(out.data() + made, value, count);
    }
    made += count;
  }
  // The end marker may follow the last byte.
  if (!result.ended && made == out.size() && end_marker) {
    const std::span<const std::uint8_t> marker = in.peek(2);
    if (!marker.empty() && marker[0] == coding.escape && marker[1] == 0) {
      result.ended = true;
      result.saw_zero = true;
      in.skip(2);
    }
  }
  if (made < (at_least == 0 ? out.size() : at_least)) return std::nullopt;
  result.consumed = in.position();
  result.made = made;
  return result;
}

}  // namespace bitmosaic
