// The displayer's 6502 code as 64tass assembles it from displayer.asm: a C64
// program file (load address $0801, the BASIC line, the code) up to the
// bytes of the picture. The build writes the definitions
// (cmake/embed_bytes.cmake).
#pragma once

#include <cstdint>
#include <span>

namespace bitmosaic {

std::span<const std::uint8_t> displayer_code();

// The same of displayer_rle.asm, the run-length displayer export wrote
// before; only read.
std::span<const std::uint8_t> displayer_rle_code();

}  // namespace bitmosaic
