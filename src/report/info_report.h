// The report of the info command: header facts of the picture and, when a
// cell was named, its colours and its eight bitmap bytes drawn in a box.
#pragma once

#include <cstdint>
#include <string>

#include "picture/koala_picture.h"

namespace bitmosaic {

// The header facts of `source`, loaded from `file_name` with `file_size`
// bytes, then, when `column` is not negative, the detail of that cell.
void print_info_report(const std::string& file_name, const KoalaPicture& source,
                       std::int64_t file_size, int column, int row);

}  // namespace bitmosaic
