// A SID tune file as the release program plays it: the PSID header's facts
// (where the data goes, init and play, the start song's speed, the clock,
// the free pages) and the C64 data, read through the bounded cursor. Only
// what the program can play is taken: one SID, C64 code, a play routine to
// call; every refusal says why.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace bitmosaic {

enum class TuneClock { unknown, pal, ntsc, both };

struct SidTune {
  std::uint16_t load = 0;  // where the data goes
  std::uint16_t end = 0;   // its last byte
  std::uint16_t init = 0;
  std::uint16_t play = 0;
  int start_song = 1;        // 1-based
  bool cia_speed = false;    // the start song's speed bit: played from CIA 1 timer A
  TuneClock clock = TuneClock::unknown;
  // The free pages the header gives: [free_start, free_start + free_pages)
  // in pages; both 0 where the header says the tune's own range is all it
  // uses (or has no such field), free_none where no page is free.
  int free_start = 0;
  int free_pages = 0;
  bool free_none = false;
  std::span<const std::uint8_t> data;  // the bytes at `load`
};

struct SidRead {
  bool read = false;
  SidTune tune;
  std::string error;  // the whole message when not read
};

// Reads `file`, called `name` in messages, as a PSID tune of one SID.
SidRead read_sid_tune(std::span<const std::uint8_t> file, const std::string& name);

}  // namespace bitmosaic
