#include "formats/run_length.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace bitmosaic {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr RunCoding kValueFirst{0xFE, RunOrder::value_then_count, ZeroRun::as_256};
constexpr RunCoding kCountFirst{0xC2, RunOrder::count_then_value, ZeroRun::as_end};

Bytes packed(const Bytes& data, const RunCoding& coding) {
  Bytes out;
  pack_runs(data, coding, out);
  return out;
}

TEST(PackRuns, CodesRunsOnlyWhereTheyPayOff) {
  struct Case {
    Bytes data;
    Bytes expected;
  } cases[] = {
      {{7, 7, 7}, {7, 7, 7}},                       // three bytes cost three either way
      {{7, 7, 7, 7}, {0xFE, 7, 4}},                 // from four on, a run
      {{0xFE}, {0xFE, 0xFE, 1}},                    // the escape byte alone is a run
      {{0xFE, 0xFE, 1}, {0xFE, 0xFE, 2, 1}},
      {Bytes(300, 0), {0xFE, 0, 255, 0xFE, 0, 45}},  // split at 255, never a count of 0
      {Bytes(256, 9), {0xFE, 9, 255, 9}},
  };
  for (const Case& c : cases) EXPECT_EQ(packed(c.data, kValueFirst), c.expected);
  EXPECT_EQ(packed({0xC2, 5, 5, 5, 5}, kCountFirst), (Bytes{0xC2, 1, 0xC2, 0xC2, 4, 5}));
}

// The coding byte by byte: each run of at most 255 equal bytes becomes a
// run from 4 bytes on or where it is the escape byte, else literal bytes.
Bytes packed_byte_by_byte(const Bytes& data, const RunCoding& coding) {
  Bytes out;
  for (std::size_t at = 0; at < data.size();) {
    std::size_t length = 1;
    while (at + length < data.size() && data[at + length] == data[at] && length < 255) ++length;
    if (length >= 4 || data[at] == coding.escape) {
      const auto count = static_cast<std::uint8_t>(length);
      const bool value_first = coding.order == RunOrder::value_then_count;
      out.insert(out.end(), {coding.escape, value_first ? data[at] : count,
                             value_first ? count : data[at]});
    } else {
      out.insert(out.end(), length, data[at]);
    }
    at += length;
  }
  return out;
}

// The packer reads eight bytes at a time; it must write what the plain
// reading writes, wherever runs and escape bytes fall among the words.
TEST(PackRuns, WritesWhatTheCodingByteByByteWrites) {
  std::mt19937 random(11);
  for (const RunCoding& coding : {kValueFirst, kCountFirst}) {
    for (int round = 0; round < 400; ++round) {
      Bytes data(random() % 700);
      const int values = 2 + static_cast<int>(random() % 6);
      for (std::size_t at = 0; at < data.size();) {  // runs of 1 to 9, now and then 300
        const std::size_t length = random() % 16 == 0 ? 300 : 1 + random() % 9;
        const auto value = static_cast<std::uint8_t>(coding.escape + random() % values);
        for (std::size_t i = 0; i < length && at < data.size(); ++i) data[at++] = value;
      }
      ASSERT_EQ(packed_byte_by_byte(data, coding), packed(data, coding)) << "round " << round;
    }
  }
}

TEST(UnpackRuns, RandomDataComesBackInEveryCoding) {
  std::mt19937 random(7);
  for (const RunCoding& coding : {kValueFirst, kCountFirst}) {
    for (int round = 0; round < 50; ++round) {
      Bytes data(1 + random() % 2000);
      // Few values, so that runs of every length occur.
      for (std::uint8_t& byte : data) byte = static_cast<std::uint8_t>(coding.escape + random() % 3);
      Bytes out(data.size());
      const Bytes coded = packed(data, coding);
      const std::optional<Unpacking> read = unpack_runs(coded, coding, out);
      ASSERT_TRUE(read);
      EXPECT_EQ(read->consumed, coded.size());
      EXPECT_EQ(out, data);
    }
  }
}

TEST(UnpackRuns, CountZeroAndShortInput) {
  Bytes out(256);
  ASSERT_TRUE(unpack_runs(Bytes{0xFE, 3, 0}, kValueFirst, out));
  EXPECT_EQ(out, Bytes(256, 3));
  RunCoding empty_zero = kValueFirst;
  empty_zero.zero = ZeroRun::as_none;
  Bytes two(2);
  const std::optional<Unpacking> read = unpack_runs(Bytes{0xFE, 3, 0, 1, 2}, empty_zero, two);
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->saw_zero);
  EXPECT_EQ(two, (Bytes{1, 2}));

  EXPECT_FALSE(unpack_runs(Bytes{1, 0xFE, 3}, kValueFirst, two));  // a run cut short
  EXPECT_FALSE(unpack_runs(Bytes{0xFE, 3, 3}, kValueFirst, two));  // a run past the end
  // Amica's end marker ends the data; it may follow the last byte.
  const std::optional<Unpacking> ended = unpack_runs(Bytes{1, 2, 0xC2, 0, 9}, kCountFirst, two);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(ended->ended);
  EXPECT_EQ(ended->consumed, 4u);
  EXPECT_FALSE(unpack_runs(Bytes{1, 0xC2, 0}, kCountFirst, two));  // ended too soon
  // Where a reader may do without the last bytes, it ends at the marker.
  const std::optional<Unpacking> early = unpack_runs(Bytes{1, 0xC2, 0}, kCountFirst, two, 1);
  ASSERT_TRUE(early);
  EXPECT_EQ(1u, early->made);
  EXPECT_EQ(3u, early->consumed);
}

TEST(UnpackRuns, ABareByteIsAnErrorWhereOnlyCommandsAreData) {
  constexpr RunCoding kCommands{0xFF, RunOrder::count_then_value, ZeroRun::as_256, kNoCommand,
                                0xFE, false};
  Bytes four(4);
  ASSERT_TRUE(unpack_runs(Bytes{0xFE, 2, 0, 7, 8, 0xFF, 2, 9}, kCommands, four));
  EXPECT_EQ((Bytes{7, 8, 9, 9}), four);
  EXPECT_FALSE(unpack_runs(Bytes{0xFE, 2, 0, 7, 8, 9, 9}, kCommands, four));
  EXPECT_FALSE(unpack_runs(Bytes{0xFE, 5, 0, 7, 8, 9, 9, 9}, kCommands, four));  // past the end
}

}  // namespace
}  // namespace bitmosaic
