// The forms a Koala picture comes in besides the 10003-byte file: without
// its load address (10001 bytes), padded (10006 bytes), or packed by the
// paint program ("GG": a load address, then runs marked by the byte $FE).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "picture/koala_picture.h"

namespace bitmosaic {

enum class KoalaForm {
  whole,             // 10003 bytes, taken as they are
  without_address,   // 10001 bytes; $6000 is put in front
  padded,            // 10006 bytes; the first 10003 count
  packed,            // run-length coded
};

// What a run count of 0 meant in a packed file that holds one.
enum class ZeroCount { absent, as_256, as_empty };

struct FoundKoala {
  KoalaForm form;
  ZeroCount zero_count = ZeroCount::absent;
  KoalaPicture picture;
};

// The Koala picture in `file`, or nothing when it is none of the forms. A
// packed file must be shorter than a whole picture, name a load address at
// which the picture fits in the machine's 64 KiB, and unpack to exactly the
// 10001 bytes after the load address (any bytes after them are ignored). A
// run count of 0 is read as 256, as the paint program writes it, and where
// that does not come out at exactly 10001 bytes, as an empty run.
std::optional<FoundKoala> find_koala(std::span<const std::uint8_t> file);

}  // namespace bitmosaic
