#include "base/terminal_charset.h"

#include <cstdio>

namespace bitmosaic {
namespace {

struct GlyphTranslation {
  std::uint8_t cp437;
  const char* utf8;
};

constexpr GlyphTranslation kTranslations[] = {
    {kMediumShade, "\u2592"},   {kDarkShade, "\u2593"},
    {kFullBlock, "\u2588"},     {kUpperHalfBlock, "\u2580"},
    {kBoxVertical, "\u2502"},   {kBoxHorizontal, "\u2500"},
    {kBoxDownRight, "\u250C"},  {kBoxDownLeft, "\u2510"},
    {kBoxUpRight, "\u2514"},    {kBoxUpLeft, "\u2518"},
    {kBoxDownTee, "\u252C"},    {kBoxUpTee, "\u2534"},
};

// The length of the well-formed UTF-8 sequence at `at` (shortest form, no
// surrogate, at most U+10FFFF) and its code point; 0 when there is none.
std::size_t utf8_character(const std::string& text, std::size_t at, std::uint32_t* code) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t value = 0;
  std::uint32_t smallest = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, smallest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3Fu);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

bool is_control(std::uint32_t code) {
  return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F);
}

}  // namespace

std::string printable_name(const std::string& name, std::FILE* stream) {
  if (!is_terminal(stream)) return name;
  std::string shown;
  for (std::size_t at = 0; at < name.size();) {
    std::uint32_t code = 0;
    const std::size_t length = utf8_character(name, at, &code);
    if (length == 0) {
      // A byte outside any UTF-8 character: a terminal may still take 0x80
      // to 0x9F as a C1 control (0x9B starts a sequence like ESC [ does).
      const auto byte = static_cast<unsigned char>(name[at]);
      shown += byte >= 0x80 && byte <= 0x9F ? '?' : name[at];
      ++at;
      continue;
    }
    if (is_control(code))
      shown += '?';
    else
      shown.append(name, at, length);
    at += length;
  }
  return shown;
}

void put_glyph(std::uint8_t cp437_byte, int count) {
  put_glyph_as(cp437_byte, count, console_uses_utf8());
}

void put_glyph_as(std::uint8_t cp437_byte, int count, bool utf8) {
  const char* text = nullptr;
  if (utf8) {
    for (const GlyphTranslation& translation : kTranslations)
      if (translation.cp437 == cp437_byte) text = translation.utf8;
  }
  for (int i = 0; i < count; ++i) {
    if (text != nullptr)
      std::fputs(text, stdout);
    else
      std::putchar(cp437_byte);
  }
}

}  // namespace bitmosaic
