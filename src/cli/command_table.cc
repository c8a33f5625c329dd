#include "cli/command_table.h"

#include "cli/options.h"

namespace bitmosaic {
namespace {

using S = CommandSettings;
constexpr const char* kKoala = ".out.kla";

// Columns: keyword, flag, extra flag, numbers, second picture, destination
// argument, start, output, default suffix, step; then, where they
// differ from the defaults, source, fallback suffix, refused suffix and its
// message, options.
constexpr Command kCommands[] = {
    {"mask", &S::mask, nullptr, Grammar::none, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::mask},
    {"imask", &S::imask, &S::invert_mask, Grammar::none, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::mask},
    {"filter", &S::filter, nullptr, Grammar::none, false, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::filter},
    {"del", &S::del, nullptr, Grammar::rectangle, false, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::del},
    {"crop", &S::crop, nullptr, Grammar::rectangle, false, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::crop},
    {"delete", &S::delv, nullptr, Grammar::line_range, false, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::delv},
    {"delv", &S::delv, nullptr, Grammar::line_range, false, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::delv},
    // info takes a destination argument and ignores it: it writes nothing.
    {"info", &S::info, nullptr, Grammar::optional_cell, false, true,
     Start::nothing, Output::nothing, nullptr, Step::info},
    {"replacev", &S::replacev, nullptr, Grammar::one_row, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::replace},
    {"replaceh", &S::replaceh, nullptr, Grammar::one_column, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::replace},
    {"replace", &S::replace, nullptr, Grammar::rectangle, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::replace},
    {"insert", &S::insert, nullptr, Grammar::rectangle, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::insert},
    {"insertv", &S::insertv, nullptr, Grammar::one_row, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::insert},
    {"inserth", &S::inserth, nullptr, Grammar::one_column, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::insert},
    {"move", &S::move, nullptr, Grammar::two_offsets, false, true,
     Start::all_zeros, Output::koala_picture, kKoala, Step::move},
    {"movev", &S::movev, nullptr, Grammar::vertical_offset, false, true,
     Start::all_zeros, Output::koala_picture, kKoala, Step::move},
    {"moveh", &S::moveh, nullptr, Grammar::horizontal_offset, false, true,
     Start::all_zeros, Output::koala_picture, kKoala, Step::move},
    {"merge", &S::merge, nullptr, Grammar::none, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::merge},
    {"merge+", &S::merge, &S::merge_plus, Grammar::none, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::merge},
    {"colcopy", &S::colcopy, nullptr, Grammar::none, true, true,
     Start::copy_of_source, Output::koala_picture, kKoala, Step::colcopy},
    {"png", &S::png, nullptr, Grammar::none, false, true,
     Start::copy_of_source, Output::png_image, ".png", Step::none, Source::any_picture,
     ".out.png", ".kla",
     "ERROR: Destination '%s' is named like a Koala picture; png writes PNG images.",
     kPaletteOption | kFromOption, true},
    {"show", &S::show, nullptr, Grammar::none, false, false,
     Start::nothing, Output::nothing, nullptr, Step::show, Source::any_picture, nullptr,
     nullptr, nullptr, kPaletteOption | kFromOption, true},
    {"import", &S::import, nullptr, Grammar::none, false, true,
     Start::built, Output::by_name, ".kla", Step::import, Source::any_file, kKoala,
     nullptr, nullptr, kPaletteOption | kFormatOption | kReleaseOptions, true},
    {"convert", &S::convert, nullptr, Grammar::none, false, true,
     Start::built, Output::by_name, ".kla", Step::convert, Source::read_by_command, kKoala,
     nullptr, nullptr,
     kPaletteOption | kDitherOption | kBackgroundOption | kScaleOption | kFormatOption |
         kReleaseOptions,
     true},
    // The default destination's suffix is the format's (see app/picture_doors.h).
    {"export", &S::export_picture, nullptr, Grammar::none, false, true,
     Start::nothing, Output::format_file, nullptr, Step::none, Source::any_picture, nullptr,
     nullptr, nullptr, kFormatOption | kBorderOption | kFromOption | kReleaseOptions, true},
};

}  // namespace

std::span<const Command> command_table() { return kCommands; }

}  // namespace bitmosaic
