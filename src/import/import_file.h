// Recognises what a file holds by its content, not its name: a PNG image
// drawn under the C64's rules, or a Koala picture in one of its forms.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "picture/koala_picture.h"

namespace bitmosaic {

struct ImportResult {
  bool imported = false;
  KoalaPicture picture{};
  std::string description;  // one line on what was found, e.g. the image's palette
  std::string error;        // the whole message when nothing was imported
};

// `name` is the file name as messages show it; `palette` is the index of
// the only palette an image's colours are matched to, or -1 for any.
ImportResult import_file(std::span<const std::uint8_t> file, const std::string& name,
                         int palette = -1);

}  // namespace bitmosaic
