// Which format of the table a file is, from the evidence in this order: the
// format the user names; else the formats its extension names; else its
// size, signature and load address. Where they cannot decide, nothing is
// guessed: the candidates are named.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "formats/format_files.h"
#include "formats/picture_formats.h"

namespace bitmosaic {

struct FoundPicture {
  const PictureFormat* format = nullptr;  // the format read; nullptr when none decided
  ReadFormat read;  // and what the reading found besides the picture
  // When nothing was found: the formats that were tried (all of them, or
  // those that the file's extension or the user named).
  std::vector<const PictureFormat*> tried;
  bool all_tried = false;
  // When the evidence could not decide: every format the file reads as.
  std::vector<const PictureFormat*> candidates;
};

// Reads the picture into `picture` (which holds anything when no format was
// decided). `format_word` is what the user named (a format's name, or an
// extension that names formats), or empty; `file_name` gives the extension.
FoundPicture find_picture(std::span<const std::uint8_t> file, std::string_view file_name,
                          std::string_view format_word, KoalaPicture& picture);

}  // namespace bitmosaic
