// Recognises what a file holds: a PNG image drawn under the C64's rules (by
// its content), or a picture in one of the formats of the table (see
// find_picture.h for the evidence that decides which).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "picture/koala_picture.h"

namespace bitmosaic {

struct ImportResult {
  bool imported = false;
  // Left uninitialised: holds anything when nothing was imported, or when
  // the caller named where the picture goes.
  KoalaPicture picture;
  std::string description;  // one line on what was found, e.g. the image's palette
  std::string error;        // the whole message when nothing was imported
};

// `name` is the file name as messages show it; its extension names the
// formats tried. `palette` is the index of the only palette an image's
// colours are matched to, or -1 for any; `format_word`, where the user
// named a format (or an extension), says which formats alone are tried.
// The picture goes to `*into` where it is given (a run's result, spared a
// copy), else to the result's own.
ImportResult import_file(std::span<const std::uint8_t> file, const std::string& name,
                         int palette = -1, std::string_view format_word = {},
                         KoalaPicture* into = nullptr);

}  // namespace bitmosaic
