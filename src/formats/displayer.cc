#include "formats/displayer.h"

#include <algorithm>

#include "formats/displayer_code.h"
#include "formats/lz_pack.h"
#include "formats/pair_choice.h"

namespace bitmosaic {
namespace {

constexpr std::size_t kGap = 24;  // from the end of 1000 colours to the next kilobyte

// The program: its code, the border colour, the packed picture, unpacked
// within `most_cycles` of the decoder's.
std::vector<std::uint8_t> program_of(const UnpackedPicture& unpacked, std::uint8_t border,
                                     std::uint64_t most_cycles) {
  const std::span<const std::uint8_t> code = displayer_code();
  std::vector<std::uint8_t> program;
  program.reserve(code.size() + 1 + kUnpackedSize + 8);
  program.assign(code.begin(), code.end());
  program.push_back(border);
  lz_pack(unpacked, program, most_cycles);
  return program;
}

// The decoder's cycles for the program's packed picture.
std::uint64_t unpacking_cycles(const std::vector<std::uint8_t>& program) {
  UnpackedPicture unpacked;
  const std::optional<LzUnpacked> read =
      lz_unpack(std::span(program).subspan(displayer_code().size() + 1), unpacked);
  return read ? read->cycles : kLzAnyCycles;
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
  const std::uint8_t border_colour = border < 0 ? picture[kBackgroundOffset] & 0x0F
                                                : static_cast<std::uint8_t>(border & 0x0F);
  // The picture's own bit pairs, and the ones chosen to pack smaller: the
  // search weighs each cell by a model of the packing, so the whole of
  // both is packed and the smaller kept.
  UnpackedPicture unpacked;
  lay_out_unpacked(picture, unpacked);
  std::vector<std::uint8_t> program = program_of(unpacked, border_colour, kLzAnyCycles);
  KoalaPicture chosen;
  if (choose_pairs(picture, chosen)) {
    UnpackedPicture other;
    lay_out_unpacked(chosen, other);
    std::vector<std::uint8_t> smaller = program_of(other, border_colour, kLzAnyCycles);
    if (smaller.size() < program.size()) {
      program.swap(smaller);
      unpacked = other;
    }
  }
  // Only a picture of very many short matches takes the decoder too long;
  // it is packed again, weighing cycles too.
  constexpr std::uint64_t kMostUnpackingCycles = kDisplayerMostCycles - kDisplayerOtherCycles;
  if (unpacking_cycles(program) > kMostUnpackingCycles)
    program = program_of(unpacked, border_colour, kMostUnpackingCycles);
  return program;
}

}  // namespace bitmosaic
