#include "formats/psid.h"

#include <cstring>

#include "base/message.h"
#include "picture/byte_cursor.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kVersion1Header = 0x76;
constexpr std::size_t kLaterHeader = 0x7C;

// The regions no tune may reach: zero page and the stack, which BASIC and
// the program need; the I/O area, where the VIC, the SID and the CIAs
// answer; the processor's vectors, which the program sets.
struct Region {
  unsigned first, last;
};
constexpr Region kForbidden[] = {{0x0000, 0x01FF}, {0xD000, 0xDFFF}, {0xFFFA, 0xFFFF}};

SidRead refused(std::string message) {
  SidRead read;
  read.error = std::move(message);
  return read;
}

}  // namespace

SidRead read_sid_tune(std::span<const std::uint8_t> file, const std::string& name) {
  const char* const tune = name.c_str();
  const auto damaged = [tune](const char* why) {
    return refused(formatted("ERROR: Tune '%s' is damaged (%s).", tune, why));
  };
  ByteCursor in(file);
  const std::span<const std::uint8_t> magic = in.take(4);
  if (magic.empty()) return damaged("it ends inside its header");
  if (std::memcmp(magic.data(), "RSID", 4) == 0)
    return refused(
        formatted("ERROR: Tune '%s' is an RSID tune; only PSID tunes can be played.", tune));
  if (std::memcmp(magic.data(), "PSID", 4) != 0) return damaged("no PSID header");
  const unsigned version = in.u16_be();
  const unsigned data_offset = in.u16_be();
  std::uint16_t load = in.u16_be();
  std::uint16_t init = in.u16_be();
  const std::uint16_t play = in.u16_be();
  const unsigned songs = in.u16_be();
  const unsigned start_song = in.u16_be();
  const std::uint32_t speed = in.u32_be();
  if (in.overrun) return damaged("it ends inside its header");
  if (version < 1 || version > 4) return damaged("an unknown version");
  const std::size_t header = version == 1 ? kVersion1Header : kLaterHeader;
  if (data_offset != header) return damaged("its data offset does not fit its version");
  if (file.size() < header) return damaged("it ends inside its header");
  if (songs < 1 || songs > 256) return damaged("its number of songs");
  if (play == 0) return refused(formatted("ERROR: Tune '%s' has no play address.", tune));

  SidTune result;
  // Songs past the 0th count from 1; a start song of 0 means the first.
  result.start_song = start_song == 0 ? 1 : static_cast<int>(start_song);
  if (static_cast<unsigned>(result.start_song) > songs) return damaged("its start song");
  const int bit = result.start_song > 32 ? 31 : result.start_song - 1;
  result.cia_speed = (speed >> bit & 1u) != 0;
  if (version >= 2) {
    ByteCursor extra = in.from(0x76);
    const unsigned flags = extra.u16_be();
    const unsigned start_page = extra.byte();
    const unsigned page_length = extra.byte();
    const unsigned second_sid = extra.byte();
    const unsigned third_sid = extra.byte();
    if ((flags & 1u) != 0)
      return refused(formatted(
          "ERROR: Tune '%s' needs a player this program does not have (%s).", tune, "MUS data"));
    if (version >= 3 && second_sid != 0)
      return refused(formatted(
          "ERROR: Tune '%s' needs a player this program does not have (%s).", tune,
          "a second SID"));
    if (version >= 4 && third_sid != 0)
      return refused(formatted(
          "ERROR: Tune '%s' needs a player this program does not have (%s).", tune,
          "a third SID"));
    constexpr TuneClock kClocks[4] = {TuneClock::unknown, TuneClock::pal, TuneClock::ntsc,
                                      TuneClock::both};
    result.clock = kClocks[flags >> 2 & 3u];
    if (start_page == 0xFF) {
      result.free_none = true;
    } else if (start_page != 0) {
      if (page_length == 0 || start_page + page_length > 0x100)
        return damaged("its free pages");
      result.free_start = static_cast<int>(start_page);
      result.free_pages = static_cast<int>(page_length);
    }
  }
  ByteCursor data = in.from(header);
  if (load == 0) {
    // The data's first two bytes are the load address, as in a program.
    load = data.u16_le();
    if (data.overrun) return damaged("it holds no data");
  }
  if (data.at_end()) return damaged("it holds no data");
  if (data.left() > 0x10000u - load) return damaged("its data passes $FFFF");
  result.load = load;
  result.end = static_cast<std::uint16_t>(load + data.left() - 1);
  result.init = init == 0 ? load : init;
  result.play = play;
  result.data = data.rest();
  for (const Region& region : kForbidden)
    if (result.load <= region.last && result.end >= region.first)
      return refused(formatted(
          "ERROR: Tune '%s' ($%04X-$%04X) leaves no room for the picture and the program.",
          tune, result.load, result.end));
  SidRead read;
  read.read = true;
  read.tune = result;
  return read;
}

}  // namespace bitmosaic
