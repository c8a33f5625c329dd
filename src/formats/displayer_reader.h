// Reads back the programs `export pic.prg` writes (displayer.h): the
// picture inside, never running their 6502 code. A program is one of ours
// by its marker, the BASIC line `2024 SYS2061` at $0801, and then only when
// every byte of its code is the code this build writes (the LZ displayer,
// or the release displayer with a fade, a tune or both) or the code of the
// run-length displayer export wrote before, and what follows it is laid
// out as that code reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "picture/koala_picture.h"

namespace bitmosaic {

enum class DisplayerKind {
  run_length,  // the earlier program: the picture run-length packed
  lz,          // the picture LZ packed, each cell's bit pairs chosen to pack small
};

struct DisplayerRead {
  DisplayerKind kind;
  bool fade = false;  // a release program (displayer_release.asm) that fades
  bool tune = false;  // one that plays a tune
};

// The picture in `file`, a whole program file, at load address $6000, with
// colour RAM and background in four bits (the border colour the program
// sets is not part of it); nothing when `file` is no program of ours or is
// damaged: cut short, longer than its data, a changed byte of code, a
// border colour over 15, packed data that does not come out at exactly the
// picture, or a program so long that running it would unpack the picture
// over its own packed bytes; of a tune program also a tune that does not
// unpack to exactly its load..end, or lies where the program would not
// have put it (tune_leaves_room), or a way of calling play that the
// program does not write. Every pixel shows what it showed in the
// exported picture; the bytes of an LZ program's picture may differ where
// its bit pairs were chosen. `picture` may hold anything when nothing is
// returned.
std::optional<DisplayerRead> read_displayer_program(std::span<const std::uint8_t> file,
                                                    KoalaPicture& picture);

}  // namespace bitmosaic
