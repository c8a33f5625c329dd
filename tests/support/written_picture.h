// What a run that exported a picture wrote, read back the way import reads
// it: by the format the run's --format named, else by the file's name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "picture/koala_picture.h"

namespace bitmosaic::testing {

// The picture in `content`, a file called `name` that a run with
// `arguments` wrote, or nothing when it reads as no picture.
std::optional<KoalaPicture> exported_picture(const std::string& content, const std::string& name,
                                             const std::vector<std::string>& arguments);

// True when `content`, a file called `name` that a run with `arguments`
// wrote, is in the format of the program that shows a picture (.prg) and
// reads back as one of our programs.
bool is_displayer_program(const std::string& content, const std::string& name,
                          const std::vector<std::string>& arguments);

// The picture in `content`, a program that export wrote, or nothing.
std::optional<KoalaPicture> displayer_picture(const std::string& content);

// True when both pictures show the same colour in every pixel, with the
// same bitmap bytes.
bool shows_the_same(const KoalaPicture& a, const KoalaPicture& b);

// True when both pictures show the same colour in every pixel, whatever bit
// pair each pixel takes.
bool shows_the_same_pixels(const KoalaPicture& a, const KoalaPicture& b);

}  // namespace bitmosaic::testing
