#include "app/sources.h"

#include "base/terminal_charset.h"
#include "cli/fatal.h"

namespace bitmosaic {
namespace {

std::string in_message(const std::string& name) { return printable_name(name, stderr); }

}  // namespace

OpenedFile open_source(const std::string& path) {
  OpenedFile opened = open_source_file(path);
  switch (opened.status) {
    case OpenStatus::opened:
      break;
    case OpenStatus::missing:
      die_with_usage("ERROR: File '%s' not found.", in_message(path).c_str());
    case OpenStatus::not_regular:
      die_with_usage("ERROR: File '%s' is not a regular file.", in_message(path).c_str());
    case OpenStatus::refused:
      die_with_usage("ERROR: File '%s' could not be read (%s).", in_message(path).c_str(),
                     opened.reason.c_str());
  }
  if (opened.size < 0 || static_cast<std::uint64_t>(opened.size) > kLargestSourceFile)
    die_with_usage("ERROR: File '%s' is too large to read (%lld bytes, more than %u MiB).",
                   in_message(path).c_str(), static_cast<long long>(opened.size),
                   static_cast<unsigned>(kLargestSourceFile >> 20));
  return opened;
}

void read_source(FileReading& file, const std::string& path, std::span<std::uint8_t> bytes) {
  if (!read_all_of(file, bytes))
    die_with_usage("ERROR: File '%s' could not be read (%s).", in_message(path).c_str(),
                   "it ended early");
}

void read_whole_source(FileReading& file, const std::string& path, std::size_t size,
                       SourceBytes& bytes) {
  bytes.data.reset(new std::uint8_t[size]);
  bytes.size = size;
  read_source(file, path, {bytes.data.get(), size});
}

std::int64_t load_source_file(const std::string& path, SourceBytes& bytes) {
  const OpenedFile opened = open_source(path);
  read_whole_source(*opened.file, path, static_cast<std::size_t>(opened.size), bytes);
  return opened.size;
}

}  // namespace bitmosaic
