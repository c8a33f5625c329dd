// Glyphs for the console. The report is drawn with code page 437 bytes; a
// console whose locale uses UTF-8 gets the same glyphs as Unicode instead.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace bitmosaic {

// Code page 437 bytes the program draws with.
inline constexpr std::uint8_t kMediumShade = 0xB1;
inline constexpr std::uint8_t kDarkShade = 0xB2;
inline constexpr std::uint8_t kFullBlock = 0xDB;
inline constexpr std::uint8_t kUpperHalfBlock = 0xDF;
inline constexpr std::uint8_t kBoxVertical = 0xB3;
inline constexpr std::uint8_t kBoxHorizontal = 0xC4;
inline constexpr std::uint8_t kBoxDownRight = 0xDA;
inline constexpr std::uint8_t kBoxDownLeft = 0xBF;
inline constexpr std::uint8_t kBoxUpRight = 0xC0;
inline constexpr std::uint8_t kBoxUpLeft = 0xD9;
inline constexpr std::uint8_t kBoxDownTee = 0xC2;
inline constexpr std::uint8_t kBoxUpTee = 0xC1;

// True when the console takes UTF-8: on POSIX systems, when the user's
// locale (LC_ALL, LC_CTYPE, LANG) names it. The locale is consulted once and
// put back to "C" at once, so that nothing else the program prints or parses
// depends on it. Each platform implements this in its own file.
bool console_uses_utf8();

// True when show draws its half blocks in UTF-8. Its colour sequences
// reach only modern terminals, and those take UTF-8: on POSIX systems it is
// UTF-8 unless the locale names another character set (no locale, C and
// POSIX name none; a set it does name is asked as console_uses_utf8 asks).
// Windows follows the console's code page, as the report does.
bool preview_uses_utf8();

// True when `stream` goes to a terminal. Each platform implements this in
// its own file.
bool is_terminal(std::FILE* stream);

struct TerminalSize {
  int columns;
  int lines;
};

// The size of the terminal `stream` goes to, as the terminal reports it;
// nothing when it is no terminal or does not say. Each platform implements
// this in its own file.
std::optional<TerminalSize> terminal_size(std::FILE* stream);

// Makes a console that needs to be told so interpret the colour sequences
// of show (Windows); nothing elsewhere.
void enable_colour_sequences(std::FILE* stream);

// `name` as it may be printed to `stream`: on a terminal, control
// characters show as '?', so that a crafted file name cannot move the cursor
// or rewrite the screen. Those are the C0 controls (bytes below 0x20) and
// 0x7F, and the C1 controls: U+0080 to U+009F written as UTF-8 (one '?'
// each), and bytes 0x80 to 0x9F outside any well-formed UTF-8 character.
// Other UTF-8 (絵.kla) shows unchanged. To files and pipes every byte goes
// out unchanged.
std::string printable_name(const std::string& name, std::FILE* stream);

// Writes one code page 437 glyph byte `count` times to standard output, as
// the byte itself or as its UTF-8 form.
void put_glyph(std::uint8_t cp437_byte, int count = 1);

// The same, as the byte itself or in UTF-8 as `utf8` says.
void put_glyph_as(std::uint8_t cp437_byte, int count, bool utf8);

}  // namespace bitmosaic
