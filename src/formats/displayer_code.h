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

// The release displayers (displayer_release.asm): with a fade, a tune, both;
// the last two also with the picture in bank 2.
std::span<const std::uint8_t> displayer_fade_code();
std::span<const std::uint8_t> displayer_tune_code();
std::span<const std::uint8_t> displayer_fade_tune_code();
std::span<const std::uint8_t> displayer_tune_bank2_code();
std::span<const std::uint8_t> displayer_fade_tune_bank2_code();

}  // namespace bitmosaic
