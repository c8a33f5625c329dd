#include "report/terminal_charset.h"

#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

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

bool read_locale_codeset_is_utf8() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const std::string codeset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, "C");
  return codeset == "UTF-8" || codeset == "utf8" || codeset == "UTF8";
}

}  // namespace

bool console_uses_utf8() {
  static const bool utf8 = read_locale_codeset_is_utf8();
  return utf8;
}

void put_glyph(std::uint8_t cp437_byte, int count) {
  const char* text = nullptr;
  if (console_uses_utf8()) {
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
