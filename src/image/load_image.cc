#include "image/load_image.h"

#include <algorithm>
#include <cstring>

#include "image/gif_reader.h"
#include "image/jpeg_reader.h"
#include "image/resample.h"
#include "base/message.h"
#include "image/png_reader.h"

namespace bitmosaic {
namespace {

enum class ImageKind { png, jpeg, gif };

// The kinds of image, each told by how its files start.
struct KindRow {
  ImageKind kind;
  const char* name;
  bool (*recognises)(std::span<const std::uint8_t> file);
};

constexpr KindRow kKinds[] = {
    {ImageKind::png, "PNG", has_png_signature},
    {ImageKind::jpeg, "JPEG", has_jpeg_signature},
    {ImageKind::gif, "GIF", has_gif_signature},
};

// Resampling's own buffers: the result, the weights and a stored row taken
// across, whatever the image's size, plus what each pixel of a row needs.
constexpr std::uint64_t kResamplingMemory = std::uint64_t{2} << 20;
constexpr std::uint64_t kResamplingMemoryPerColumn = 3 * sizeof(float);

// The memory of an image whose decoder holds `held` bytes, resampled.
bool fits_memory(std::uint64_t held, int width) {
  const auto columns = static_cast<std::uint64_t>(width);
  return held + kResamplingMemoryPerColumn * columns + kResamplingMemory <= kDecodingMemoryLimit;
}

std::string damaged(const std::string& name, const std::string& problem) {
  return formatted("ERROR: Image '%s' is damaged (%s).", name.c_str(), problem.c_str());
}

std::string too_large(const std::string& name, int width, int height) {
  return formatted("ERROR: Image '%s' is %ix%i; decoding it would need more than %i MB.",
                   name.c_str(), width, height, static_cast<int>(kDecodingMemoryLimit >> 20));
}

// The message for an image over the caps on its size, or empty.
std::string over_caps(const std::string& name, int width, int height) {
  const char* format = "ERROR: Image '%s' is too large (%ix%i; at most %i pixels).";
  if (width > kLongestImageSide || height > kLongestImageSide)
    return formatted(format, name.c_str(), width, height, kLongestImageSide);
  if (std::int64_t{width} * height > kLargestImageArea)
    return formatted(format, name.c_str(), width, height, static_cast<int>(kLargestImageArea));
  return {};
}

std::string describe(int width, int height, const Placement& placement) {
  switch (placement.placing) {
    case Placing::native:
      if (placement.factor > 1)
        return formatted("Image %ix%i (reduced by %i)", width, height, placement.factor);
      return formatted("Image %ix%i", width, height);
    case Placing::filled:
      return formatted("Image %ix%i (scaled to fill)", width, height);
    case Placing::fitted:
      return formatted("Image %ix%i (scaled to fit)", width, height);
    case Placing::stretched:
      break;
  }
  return formatted("Image %ix%i (stretched)", width, height);
}

void finish(ImageLoad& load, const Resampling& resampling) {
  load.loaded = true;
  load.image = finish_resampling(resampling);
  load.description = describe(load.width, load.height, load.placement);
}

// A PNG image, its rows resampled as they are decoded (with alpha).
struct PngLoading {
  ImageLoad* load;
  const std::string* name;
  ScaleMode mode;
  Rgb matte;
  Resampling resampling;
  std::string refusal;  // why the image was not wanted
};

bool png_wanted(void* context, const PngShape& shape) {
  auto& loading = *static_cast<PngLoading*>(context);
  ImageLoad& load = *loading.load;
  load.width = shape.width;
  load.height = shape.height;
  loading.refusal = over_caps(*loading.name, shape.width, shape.height);
  if (!loading.refusal.empty()) return false;
  // An interlaced image is held whole, 4 bytes a pixel; any other one row.
  const auto row = 4 * static_cast<std::uint64_t>(shape.width);
  if (!fits_memory(shape.interlaced ? row * static_cast<std::uint64_t>(shape.height) : row,
                   shape.width)) {
    loading.refusal = too_large(*loading.name, shape.width, shape.height);
    return false;
  }
  load.placement = place_image(shape.width, shape.height, loading.mode);
  loading.resampling = start_resampling(shape.width, shape.height, shape.width, shape.height,
                                        Orientation{}, load.placement, loading.matte);
  return true;
}

void take_png_row(void* context, int y, const std::uint8_t* row) {
  add_row(static_cast<PngLoading*>(context)->resampling, y, row, 4);
}

void load_png(ImageLoad& load, ImageReader file, const std::string& name, ScaleMode mode,
              Rgb matte) {
  PngLoading loading{&load, &name, mode, matte, {}, {}};
  const PngRowsRead read = read_png_rows(file, {&loading, png_wanted, take_png_row});
  if (!read.problem.empty()) {
    load.error = damaged(name, read.problem);
    return;
  }
  if (!read.read) {
    load.error = loading.refusal;
    return;
  }
  finish(load, loading.resampling);
}

void load_gif(ImageLoad& load, ImageReader file, const std::string& name, ScaleMode mode,
              Rgb matte) {
  GifReader reader = open_gif(file);
  const GifHeader header = read_gif_header(*reader);
  if (!header.read) {
    load.error = damaged(name, header.problem);
    return;
  }
  load.width = header.width;
  load.height = header.height;
  load.error = over_caps(name, header.width, header.height);
  if (!load.error.empty()) return;
  if (!fits_memory(gif_decoding_memory(*reader), header.width)) {
    load.error = too_large(name, header.width, header.height);
    return;
  }
  load.placement = place_image(header.width, header.height, mode);
  Resampling resampling = start_resampling(header.width, header.height, header.width, header.height,
                                           Orientation{}, load.placement, matte);
  const std::string problem = read_gif_rows(*reader, resampling);
  if (!problem.empty()) {
    load.error = damaged(name, problem);
    return;
  }
  finish(load, resampling);
}

void load_jpeg(ImageLoad& load, ImageReader file, const std::string& name, ScaleMode mode,
               Rgb matte) {
  JpegReader reader = open_jpeg(file);
  const JpegHeader header = read_jpeg_header(*reader);
  if (!header.read) {
    load.error = damaged(name, jpeg_problem(*reader));
    return;
  }
  const Orientation orientation = orientation_of(header.orientation);
  const auto upright = [&](int& across, int& down, int stored_across, int stored_down) {
    across = orientation.transposed ? stored_down : stored_across;
    down = orientation.transposed ? stored_across : stored_down;
  };
  upright(load.width, load.height, header.width, header.height);
  load.error = over_caps(name, load.width, load.height);
  if (!load.error.empty()) return;
  load.placement = place_image(load.width, load.height, mode);

  // The smallest DCT scale that still gives every hires pixel a pixel.
  int width = 0, height = 0;
  for (int eighths = 1; eighths <= 8; ++eighths) {
    if (!choose_jpeg_scale(*reader, eighths, width, height)) {
      load.error = damaged(name, jpeg_problem(*reader));
      return;
    }
    int across = 0, down = 0;
    upright(across, down, width, height);
    if (resolution_suffices(load.placement, load.width, load.height, across, down)) break;
  }
  std::uint64_t memory = 0;
  if (!jpeg_decoding_memory(*reader, memory)) {
    load.error = damaged(name, jpeg_problem(*reader));
    return;
  }
  const std::uint64_t own =
      kResamplingMemory + (4 + kResamplingMemoryPerColumn) * static_cast<std::uint64_t>(width);
  if (memory + own > kDecodingMemoryLimit) {
    load.error = too_large(name, load.width, load.height);
    return;
  }
  Resampling resampling = start_resampling(width, height, header.width, header.height, orientation,
                                           load.placement, matte);
  switch (read_jpeg_rows(*reader, resampling, kDecodingMemoryLimit - own)) {
    case JpegRows::complete:
      finish(load, resampling);
      return;
    case JpegRows::damaged:
      load.error = damaged(name, jpeg_problem(*reader));
      return;
    case JpegRows::too_much_work:
      load.error = formatted(
          "ERROR: Image '%s' is too large to decode: its scans read more than %llu blocks.",
          name.c_str(), static_cast<unsigned long long>(kMostJpegBlockScans));
      return;
    case JpegRows::too_many_scans:
      load.error = formatted(
          "ERROR: Image '%s' has more than %i scans; a progressive JPEG may "
          "have at most %i.",
          name.c_str(), kMostJpegScans, kMostJpegScans);
      return;
  }
}

// The row of the kind whose files start as `head` does, or none.
const KindRow* kind_of(std::span<const std::uint8_t> head) {
  for (const KindRow& row : kKinds)
    if (row.recognises(head)) return &row;
  return nullptr;
}

// The longest start of a file that tells its kind.
constexpr std::size_t kLongestSignature = 8;

std::string not_an_image(const std::string& name) {
  return formatted("ERROR: File '%s' is not a PNG, JPEG or GIF image.", name.c_str());
}

// Hands out the bytes already read to tell the kind, then the rest.
struct AfterHead {
  std::span<const std::uint8_t> head;
  std::size_t offset;
  ImageReader rest;
};

std::size_t read_after_head(void* context, std::uint8_t* buffer, std::size_t size) {
  auto& source = *static_cast<AfterHead*>(context);
  if (source.offset < source.head.size()) {
    const std::size_t count = std::min(size, source.head.size() - source.offset);
    std::memcpy(buffer, source.head.data() + source.offset, count);
    source.offset += count;
    return count;
  }
  return source.rest.read(source.rest.context, buffer, size);
}

}  // namespace

ImageLoad load_image_for_conversion(std::span<const std::uint8_t> file, const std::string& name,
                                    ScaleMode mode, Rgb matte) {
  ImageLoad load;
  const KindRow* kind = kind_of(file);
  if (kind == nullptr) {
    load.error = not_an_image(name);
    return load;
  }
  load.kind = kind->name;
  ByteCursor position(file);
  switch (kind->kind) {
    case ImageKind::png:
      load_png(load, reader_of(position), name, mode, matte);
      break;
    case ImageKind::jpeg:
      load_jpeg(load, reader_of(position), name, mode, matte);
      break;
    case ImageKind::gif:
      load_gif(load, reader_of(position), name, mode, matte);
      break;
  }
  return load;
}

ImageLoad load_image_for_conversion(ImageReader file, const std::string& name, ScaleMode mode,
                                    Rgb matte) {
  ImageLoad load;
  std::uint8_t head[kLongestSignature];
  std::size_t got = 0;
  for (std::size_t count = 1; got < sizeof head && count > 0; got += count)
    count = file.read(file.context, head + got, sizeof head - got);
  const KindRow* kind = kind_of(std::span(head, got));
  if (kind == nullptr) {
    load.error = not_an_image(name);
    return load;
  }
  load.kind = kind->name;
  AfterHead source{std::span(head, got), 0, file};
  const ImageReader whole{&source, read_after_head};
  switch (kind->kind) {
    case ImageKind::jpeg:
      load_jpeg(load, whole, name, mode, matte);
      return load;
    case ImageKind::gif:
      load_gif(load, whole, name, mode, matte);
      return load;
    case ImageKind::png:
      load_png(load, whole, name, mode, matte);
      return load;
  }
  return load;
}

}  // namespace bitmosaic
