#include "import/find_picture.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "base/words.h"

namespace bitmosaic {
namespace {

// How strongly a reading that comes out speaks for its format: a signature
// (a header or fixed bytes the format always has) most, then the exact size
// of an unpacked format, then data that merely unpacks.
constexpr int kRanks = 3;

int evidence_rank(const PictureFormat& format) {
  const PackingRule* rule = packing_rule(format.packing);
  if ((rule != nullptr && rule->header != nullptr) || format.fixed.needed_to_read) return 0;
  return format.packing == Packing::none ? 1 : 2;
}

struct Reading {
  const PictureFormat* format;
  ReadFormat read;
  const KoalaPicture* picture;
};

bool same_picture(const Reading& a, const Reading& b) {
  return std::equal(a.picture->begin() + kBitmapOffset, a.picture->end(),
                    b.picture->begin() + kBitmapOffset);
}

bool all_the_same_picture(const std::vector<Reading>& readings) {
  return std::all_of(readings.begin(), readings.end(),
                     [&](const Reading& reading) { return same_picture(reading, readings[0]); });
}

bool at_own_address(const Reading& reading) {
  return reading.format->address_source != AddressSource::none &&
         reading.read.file_address == reading.format->load_address;
}

}  // namespace

FoundPicture find_picture(std::span<const std::uint8_t> file, std::string_view file_name,
                          std::string_view format_word, KoalaPicture& picture) {
  FoundPicture found;
  // A format's own name names it alone; an extension, every format it names.
  const PictureFormat* named = format_word.empty() ? nullptr : format_named(format_word);
  if (named != nullptr && !equal_ignoring_case(named->name, format_word)) named = nullptr;
  const std::string_view extension = format_word.empty() ? file_extension(file_name) : format_word;
  for (const PictureFormat& format : picture_formats()) {
    if (format.packing == Packing::displayer) continue;
    if (named != nullptr ? &format == named : has_extension(format, extension))
      found.tried.push_back(&format);
  }
  if (found.tried.empty()) {
    found.all_tried = true;
    for (const PictureFormat& format : picture_formats())
      if (format.packing != Packing::displayer) found.tried.push_back(&format);
  }
  const Trust trust = found.all_tried ? Trust::content_only : Trust::named;

  // The strongest evidence that comes out wins; weaker kinds are not tried.
  // The first reading goes straight into `picture`, any further one into
  // room of its own (left uninitialised: a reading writes every byte).
  std::vector<Reading> readings;
  std::unique_ptr<KoalaPicture[]> more;
  KoalaPicture* target = &picture;
  std::vector<int> ranks;
  ranks.reserve(found.tried.size());
  for (const PictureFormat* format : found.tried) ranks.push_back(evidence_rank(*format));
  for (int rank = 0; rank < kRanks && readings.empty(); ++rank) {
    for (std::size_t i = 0; i < found.tried.size(); ++i) {
      if (ranks[i] != rank) continue;
      const PictureFormat* format = found.tried[i];
      const std::optional<ReadFormat> read = read_format_file(*format, file, trust, *target);
      if (!read) continue;
      readings.push_back({format, *read, target});
      if (!more) more.reset(new KoalaPicture[found.tried.size()]);
      target = &more[readings.size() - 1];
    }
  }
  if (readings.empty()) return found;

  // A load address that a format's writers use speaks for it; formats that
  // read the same picture need no telling apart.
  std::vector<Reading> at_home;
  std::copy_if(readings.begin(), readings.end(), std::back_inserter(at_home), at_own_address);
  if (!at_home.empty()) readings = at_home;
  if (!all_the_same_picture(readings)) {
    for (const Reading& reading : readings) found.candidates.push_back(reading.format);
    return found;
  }
  found.format = readings[0].format;
  found.read = readings[0].read;
  if (readings[0].picture != &picture) picture = *readings[0].picture;
  return found;
}

}  // namespace bitmosaic
