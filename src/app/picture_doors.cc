#include "app/picture_doors.h"

#include <vector>

#include "app/progress.h"
#include "app/sources.h"
#include "base/terminal_charset.h"
#include "base/words.h"
#include "cli/fatal.h"
#include "formats/picture_formats.h"
#include "import/import_file.h"

namespace bitmosaic {
namespace {

std::string in_message(const std::string& name) { return printable_name(name, stderr); }

std::string written_names() { return format_names(FormatUse::written); }

void refuse_read_only(const PictureFormat& format) {
  if (format.read_only)
    die_with_usage("ERROR: bitmosaic reads %s pictures (%s) but does not write them; formats: %s.",
                   format.title, format.name, written_names().c_str());
}

// The first row of the table whose extensions include the destination's,
// as a new file of that name gets it; nullptr when none does.
const PictureFormat* format_of_name(const std::string& destination) {
  const std::string_view extension = file_extension(destination);
  for (const PictureFormat& row : picture_formats())
    if (has_extension(row, extension)) return &row;
  return nullptr;
}

// The format --format= names, held to the destination's extension where it
// has one: "pic.kla --format=drazpaint" would be Drazpaint under Koala's
// name. A name without one (a device, a scratch file) names no other form.
const PictureFormat& named_format(const CommandSettings& settings) {
  const PictureFormat& format = *format_named(settings.format_word);  // the parser checked it
  refuse_read_only(format);
  const std::string_view extension =
      settings.dest_path ? file_extension(*settings.dest_path) : std::string_view{};
  if (!extension.empty() && !has_extension(format, extension))
    die_with_usage("ERROR: Destination '%s' is not named like a %s file.",
                   in_message(*settings.dest_path).c_str(), format.name);
  return format;
}

}  // namespace

WrittenForm written_form(const CommandSettings& settings, const Command& command) {
  if (command.output != Output::format_file && command.output != Output::by_name)
    return {command.output, nullptr};
  if (!settings.format_word.empty()) return {Output::format_file, &named_format(settings)};
  if (command.output == Output::format_file) {
    // export writes a format and nothing else: the name must name one.
    if (!settings.dest_path)
      die_with_usage("ERROR: export needs a destination or --format=NAME; formats: %s.",
                     written_names().c_str());
    const PictureFormat* format = format_of_name(*settings.dest_path);
    if (format == nullptr)
      die_with_usage("ERROR: Destination '%s' is named like no format; name one with "
                     "--format=NAME: %s.",
                     in_message(*settings.dest_path).c_str(), written_names().c_str());
    refuse_read_only(*format);
    return {Output::format_file, format};
  }
  // import and convert write a Koala picture under its own name and any
  // name that names no format; a PNG image or a format's file where the
  // name says so.
  if (!settings.dest_path) return {Output::koala_picture, nullptr};
  const std::string_view extension = file_extension(*settings.dest_path);
  if (equal_ignoring_case(extension, "png")) return {Output::png_image, nullptr};
  if (equal_ignoring_case(extension, "kla")) return {Output::koala_picture, nullptr};
  const PictureFormat* format = format_of_name(*settings.dest_path);
  if (format == nullptr) return {Output::koala_picture, nullptr};
  refuse_read_only(*format);
  return {Output::format_file, format};
}

std::int64_t load_any_picture(const CommandSettings& settings, bool describe,
                              KoalaPicture& picture) {
  const std::string& path = *settings.source_path;
  OpenedFile opened = open_source(path);
  if (settings.from_word.empty() && opened.size == static_cast<std::int64_t>(kKoalaFileSize)) {
    read_source(*opened.file, path, picture);
    return opened.size;
  }
  SourceBytes bytes;
  read_whole_source(*opened.file, path, static_cast<std::size_t>(opened.size), bytes);
  const ImportResult imported =
      import_file(bytes.bytes(), in_message(path), -1, settings.from_word, &picture);
  if (!imported.imported) die_with_usage("%s", imported.error.c_str());
  if (describe) print_progress("%s\n", imported.description.c_str());
  return opened.size;
}

void read_release_extras(const CommandSettings& settings, const WrittenForm& form,
                         ReleaseTune& release) {
  if (!settings.fade && !settings.sid_path) return;
  if (form.format == nullptr || form.format->packing != Packing::displayer)
    die_with_usage("ERROR: --fade and --sid need a .prg destination.");
  release.extras.fade = settings.fade;
  if (!settings.sid_path) return;
  load_source_file(*settings.sid_path, release.file);
  const SidRead read = read_sid_tune(release.file.bytes(), in_message(*settings.sid_path));
  if (!read.read) die_with_usage("%s", read.error.c_str());
  release.tune = read.tune;
  release.extras.tune = &release.tune;
  release.extras.tune_name = in_message(*settings.sid_path);
}

void make_format_file(const PictureFormat& format, const KoalaPicture& picture,
                      const CommandSettings& settings, const ReleaseExtras& extras,
                      FormatFile& file) {
  if (!write_format_file(format, picture, settings.border,
                         printable_name(*settings.source_path, stderr), file, extras))
    die_with_usage("%s", file.refusal.c_str());
  const unsigned address = file.size < 2 ? 0u : file.block[0] | file.block[1] << 8;
  // Unsigned, not %zu: Windows' own printf checks the format (the file is
  // at most kLargestFormatFile bytes).
  const auto size = static_cast<unsigned>(file.size);
  if (format.packing == Packing::displayer)
    print_progress("Writing a program that shows the picture, %u bytes, load address $%04x\n",
                   size, address);
  else if (format.address_source == AddressSource::none)
    print_progress("Writing %s picture without load address, %u bytes\n", format.title, size);
  else if (format.packing != Packing::none)
    print_progress("Writing %s picture of %u bytes, load address $%04x\n", format.title, size,
                   address);
  else
    print_progress("Writing %s picture, load address $%04x, %u bytes\n", format.title, address,
                   size);
}

}  // namespace bitmosaic
