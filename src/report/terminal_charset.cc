#include "report/terminal_charset.h"

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

}  // namespace

std::string printable_name(const std::string& name, std::FILE* stream) {
  if (!is_terminal(stream)) return name;
  std::string shown = name;
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
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
