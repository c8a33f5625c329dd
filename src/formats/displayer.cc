#include "formats/displayer.h"

#include <algorithm>
#include <array>
#include <span>

#include "formats/displayer_code.h"
#include "formats/lz_pack.h"
#include "formats/pair_choice.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kGap = 24;  // from the end of 1000 colours to the next kilobyte

// The program: its code, the border colour and what follows it (`head`),
// the packed picture, unpacked within `most_cycles` of the decoder's.
std::vector<std::uint8_t> program_of(std::span<const std::uint8_t> code,
                                     std::span<const std::uint8_t> head,
                                     const UnpackedPicture& unpacked, std::uint64_t most_cycles) {
  std::vector<std::uint8_t> program;
  program.reserve(code.size() + head.size() + kUnpackedSize + 8);
  program.assign(code.begin(), code.end());
  program.insert(program.end(), head.begin(), head.end());
  lz_pack(unpacked, program, most_cycles);
  return program;
}

// The decoder's cycles for the program's packed picture, after `before`
// bytes of code and head.
std::uint64_t unpacking_cycles(const std::vector<std::uint8_t>& program, std::size_t before) {
  UnpackedPicture unpacked;
  const std::optional<LzUnpacked> read =
      lz_unpack(std::span(program).subspan(before), unpacked);
  return read ? read->cycles : kLzAnyCycles;
}

// The program with the picture packed smallest: its own bit pairs or the
// ones chosen to pack smaller (the search weighs each cell by a model of
// the packing, so the whole of both is packed and the smaller kept); packed
// again weighing cycles where the decoder would take more than
// `most_cycles` (only a picture of very many short matches does).
std::vector<std::uint8_t> picture_program(const KoalaPicture& picture,
                                          std::span<const std::uint8_t> code,
                                          std::span<const std::uint8_t> head,
                                          std::uint64_t most_cycles) {
  UnpackedPicture unpacked;
  lay_out_unpacked(picture, unpacked);
  std::vector<std::uint8_t> program = program_of(code, head, unpacked, kLzAnyCycles);
  KoalaPicture chosen;
  if (choose_pairs(picture, chosen)) {
    UnpackedPicture other;
    lay_out_unpacked(chosen, other);
    std::vector<std::uint8_t> smaller = program_of(code, head, other, kLzAnyCycles);
    if (smaller.size() < program.size()) {
      program.swap(smaller);
      unpacked = other;
    }
  }
  if (unpacking_cycles(program, code.size() + head.size()) > most_cycles)
    program = program_of(code, head, unpacked, most_cycles);
  return program;
}

std::uint8_t border_of(const KoalaPicture& picture, int border) {
  return border < 0 ? picture[kBackgroundOffset] & 0x0F : static_cast<std::uint8_t>(border & 0x0F);
}

bool overlaps(unsigned first, unsigned last, unsigned other_first, unsigned other_last) {
  return first <= other_last && last >= other_first;
}

void push_word(std::vector<std::uint8_t>& out, unsigned word) {
  out.push_back(static_cast<std::uint8_t>(word & 0xFF));
  out.push_back(static_cast<std::uint8_t>(word >> 8 & 0xFF));
}

// How play is called on each machine (displayer.h): once a frame where the
// tune is of this machine's clock (or either; an unknown clock counts as
// PAL), from the timer at the tune's own frame rate where it is the other
// machine's, at init's rate where the tune sets the timer.
void push_timing(std::vector<std::uint8_t>& out, const SidTune& tune) {
  const bool ntsc_tune = tune.clock == TuneClock::ntsc;
  const bool any = tune.clock == TuneClock::both;
  std::uint16_t on_pal = ntsc_tune && !any ? kNtscFrameOnPal : kRasterPlay;
  std::uint16_t on_ntsc = !ntsc_tune && !any ? kPalFrameOnNtsc : kRasterPlay;
  if (tune.cia_speed) on_pal = on_ntsc = kInitsTimerPlay;
  push_word(out, on_pal);
  push_word(out, on_ntsc);
}

unsigned bank_start(ReleaseBank bank) { return bank == ReleaseBank::two ? 0x8000u : 0x4000u; }

// True when the header's free pages, if it gives them, hold the bank: all
// the program uses while the tune plays, besides zero page and the stack,
// which the tune shares, and the vectors.
bool within_free_pages(const SidTune& tune, ReleaseBank bank) {
  if (tune.free_none) return false;
  if (tune.free_pages == 0) return true;
  const unsigned first = static_cast<unsigned>(tune.free_start);
  const unsigned end = first + static_cast<unsigned>(tune.free_pages);
  return first <= bank_start(bank) >> 8 && end >= (bank_start(bank) >> 8) + 0x40;
}

}  // namespace

void lay_out_unpacked(const KoalaPicture& picture, UnpackedPicture& unpacked) {
  for (std::size_t cell = 0; cell < 1000; ++cell) {
    unpacked[kUnpackedColourRam + cell] = picture[kColourRamOffset + cell] & 0x0F;
    unpacked[kUnpackedScreen + cell] = picture[kScreenColourOffset + cell];
  }
  std::copy_n(picture.begin() + kBitmapOffset, kBitmapSize, unpacked.begin() + kUnpackedBitmap);
  unpacked[kUnpackedBackground] = picture[kBackgroundOffset] & 0x0F;
  for (const std::size_t gap : {kUnpackedScreen - kGap, kUnpackedBitmap - kGap})
    std::copy_n(unpacked.begin() + static_cast<std::ptrdiff_t>(gap - kGap), kGap,
                unpacked.begin() + static_cast<std::ptrdiff_t>(gap));
}

void picture_from_unpacked(const UnpackedPicture& unpacked, KoalaPicture& picture) {
  picture[0] = kDefaultLoadAddress & 0xFF;
  picture[1] = kDefaultLoadAddress >> 8;
  std::copy_n(unpacked.begin() + kUnpackedBitmap, kBitmapSize, picture.begin() + kBitmapOffset);
  for (std::size_t cell = 0; cell < 1000; ++cell) {
    picture[kScreenColourOffset + cell] = unpacked[kUnpackedScreen + cell];
    picture[kColourRamOffset + cell] = unpacked[kUnpackedColourRam + cell] & 0x0F;
  }
  picture[kBackgroundOffset] = unpacked[kUnpackedBackground] & 0x0F;
}

std::vector<std::uint8_t> displayer_program(const KoalaPicture& picture, int border) {
  const std::array<std::uint8_t, 1> head = {border_of(picture, border)};
  return picture_program(picture, displayer_code(), head,
                         kDisplayerMostCycles - kDisplayerOtherCycles);
}

std::span<const std::uint8_t> release_code(bool fade, bool tune, ReleaseBank bank) {
  if (!tune) return displayer_fade_code();
  if (bank == ReleaseBank::two)
    return fade ? displayer_fade_tune_bank2_code() : displayer_tune_bank2_code();
  return fade ? displayer_fade_tune_code() : displayer_tune_code();
}

bool tune_leaves_room(std::uint16_t load, std::uint16_t end, std::size_t program_size,
                      ReleaseBank bank) {
  const unsigned program_end = 0x0801 + static_cast<unsigned>(program_size) - 2;  // past it
  return program_end <= kReleaseMemory && end >= load && !overlaps(load, end, 0x0000, 0x07FF) &&
         !overlaps(load, end, bank_start(bank), bank_start(bank) + 0x3FFF);
}

bool stream_place_fits(unsigned at, unsigned length, std::uint16_t load, std::uint16_t end,
                       ReleaseBank bank) {
  if (length == 0) return true;
  const unsigned last = at + length - 1;
  const bool in_ram = (at >= 0x0801 && last < 0xD000) || (at >= 0xE000 && last < 0xFFFA);
  return in_ram && !overlaps(at, last, bank_start(bank), bank_start(bank) + 0x3FFF) &&
         !overlaps(at, last, load, end);
}

bool release_program(const KoalaPicture& picture, int border, bool fade, const SidTune* tune,
                     std::vector<std::uint8_t>& program) {
  program.clear();
  if (!fade && tune == nullptr) {
    program = displayer_program(picture, border);
    return true;
  }
  std::vector<std::uint8_t> head = {border_of(picture, border)};
  if (tune == nullptr)
    return (program = picture_program(picture, release_code(fade, false), head,
                                      kDisplayerMostCycles - kDisplayerOtherCycles),
            true);
  if (tune->data.size() > kLongestTune) return false;
  push_word(head, tune->load);
  push_word(head, tune->end);
  push_word(head, tune->init);
  push_word(head, tune->play);
  head.push_back(static_cast<std::uint8_t>(tune->start_song - 1));
  push_timing(head, *tune);
  head.resize(1 + kTuneBlock);  // where the stream moves: below, once packed
  for (const ReleaseBank bank : {ReleaseBank::one, ReleaseBank::two}) {
    if (overlaps(tune->load, tune->end, bank_start(bank), bank_start(bank) + 0x3FFF) ||
        !within_free_pages(*tune, bank))
      continue;
    const std::span<const std::uint8_t> code = release_code(fade, true, bank);
    program = picture_program(picture, code, head, kDisplayerMostCycles - kTuneOtherCycles);
    const std::size_t stream = program.size();
    lz_pack(tune->data, program);
    // The packed tune stays where it loaded if the tune does not reach it;
    // else it moves up (copied from its end back) to the first place that
    // fits: after the tune, at the top of the RAM below the bank, of
    // $C000-$CFFF, of $E000-$FFF9, or at the starts of the last two or of
    // bank 1.
    const unsigned loaded = 0x0801 + static_cast<unsigned>(stream) - 2;
    const auto length = static_cast<unsigned>(program.size() - stream);
    unsigned to = loaded;
    unsigned moved = 0;
    if (!stream_place_fits(loaded, length, tune->load, tune->end, bank)) {
      moved = length;
      to = 0;
      for (const unsigned place : {tune->end + 1u, bank_start(bank) - length, 0xD000 - length,
                                   0xFFFA - length, 0x4000u, 0xC000u, 0xE000u})
        if (place >= loaded && place <= 0xFFFF &&
            stream_place_fits(place, length, tune->load, tune->end, bank)) {
          to = place;
          break;
        }
    }
    if (to == 0 || !tune_leaves_room(tune->load, tune->end, program.size(), bank)) continue;
    const std::size_t at = code.size() + 1 + kTuneBlock - 4;  // the last two words
    program[at] = static_cast<std::uint8_t>(to & 0xFF);
    program[at + 1] = static_cast<std::uint8_t>(to >> 8);
    program[at + 2] = static_cast<std::uint8_t>(moved & 0xFF);
    program[at + 3] = static_cast<std::uint8_t>(moved >> 8);
    return true;
  }
  program.clear();
  return false;
}

}  // namespace bitmosaic
