#include "image/gif_reader.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace bitmosaic {

struct GifDecoder {
  ImageReader source;
  GifFileType* gif = nullptr;
  int transparent = -1;  // from the graphic control extension before the frame
  int width = 0, height = 0;
};

namespace {

int read_source(GifFileType* gif, GifByteType* out, int length) {
  const ImageReader& source = static_cast<GifDecoder*>(gif->UserData)->source;
  // A reader may hand out fewer bytes than asked; giflib wants them all.
  std::size_t done = 0;
  const auto wanted = static_cast<std::size_t>(std::max(length, 0));
  for (std::size_t count = 1; done < wanted && count > 0; done += count)
    count = source.read(source.context, out + done, wanted - done);
  return static_cast<int>(done);
}

std::string library_problem(int error) {
  const char* words = GifErrorString(error);
  return words != nullptr ? words : "unknown error";
}

// Rows of an interlaced frame come in four passes: every 8th row from 0,
// every 8th from 4, every 4th from 2, every 2nd from 1.
struct Pass {
  int first, step;
};
constexpr Pass kInterlacePasses[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

}  // namespace

void GifDecoderDeleter::operator()(GifDecoder* decoder) const {
  int error = 0;
  if (decoder->gif != nullptr) DGifCloseFile(decoder->gif, &error);
  delete decoder;
}

bool has_gif_signature(std::span<const std::uint8_t> file) {
  return file.size() >= 6 && (std::memcmp(file.data(), GIF87_STAMP, 6) == 0 ||
                              std::memcmp(file.data(), GIF89_STAMP, 6) == 0);
}

GifReader open_gif(ImageReader source) {
  GifReader reader(new GifDecoder{});
  reader->source = source;
  return reader;
}

GifHeader read_gif_header(GifDecoder& decoder) {
  GifHeader header;
  int error = 0;
  decoder.gif = DGifOpen(&decoder, read_source, &error);
  if (decoder.gif == nullptr) {
    header.problem = library_problem(error);
    return header;
  }
  GifFileType& gif = *decoder.gif;
  // Records up to the first frame: extensions are read past, the graphic
  // control extension's transparent colour kept.
  for (bool frame = false; !frame;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(&gif, &type) == GIF_ERROR) {
      header.problem = library_problem(gif.Error);
      return header;
    }
    if (type == TERMINATE_RECORD_TYPE) {
      header.problem = "it holds no image";
      return header;
    }
    if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageHeader(&gif) == GIF_ERROR) {
        header.problem = library_problem(gif.Error);
        return header;
      }
      frame = true;
    } else if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(&gif, &code, &block) == GIF_ERROR) {
        header.problem = library_problem(gif.Error);
        return header;
      }
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4)
        decoder.transparent = (block[1] & 0x01) != 0 ? block[4] : -1;
      while (block != nullptr)
        if (DGifGetExtensionNext(&gif, &block) == GIF_ERROR) {
          header.problem = library_problem(gif.Error);
          return header;
        }
    }
  }
  const GifImageDesc& frame = gif.Image;
  decoder.width = std::max(gif.SWidth, frame.Left + frame.Width);
  decoder.height = std::max(gif.SHeight, frame.Top + frame.Height);
  if (decoder.width <= 0 || decoder.height <= 0) {
    header.problem = "its screen has no pixels";
    return header;
  }
  if ((frame.ColorMap != nullptr ? frame.ColorMap : gif.SColorMap) == nullptr) {
    header.problem = "no colour table";
    return header;
  }
  header.read = true;
  header.width = decoder.width;
  header.height = decoder.height;
  return header;
}

std::uint64_t gif_decoding_memory(const GifDecoder& decoder) {
  const GifImageDesc& frame = decoder.gif->Image;
  const std::uint64_t held = std::uint64_t(frame.Width) *
                             (frame.Interlace ? std::uint64_t(frame.Height) : std::uint64_t{1});
  return held + 8 * std::uint64_t(decoder.width);
}

std::string read_gif_rows(GifDecoder& decoder, Resampling& resampling) {
  GifFileType& gif = *decoder.gif;
  const GifImageDesc& frame = gif.Image;
  const ColorMapObject& map = *(frame.ColorMap != nullptr ? frame.ColorMap : gif.SColorMap);
  // An index beyond the colour table shows black, as an index into a table
  // of 256 does.
  std::uint8_t colours[256][4] = {};
  for (auto& colour : colours) colour[3] = 0xFF;
  for (int i = 0; i < std::min(map.ColorCount, 256); ++i) {
    colours[i][0] = map.Colors[i].Red;
    colours[i][1] = map.Colors[i].Green;
    colours[i][2] = map.Colors[i].Blue;
  }
  if (decoder.transparent >= 0) colours[decoder.transparent][3] = 0;

  const auto frame_width = static_cast<std::size_t>(frame.Width);
  std::vector<std::uint8_t> row(4 * static_cast<std::size_t>(decoder.width), 0);
  // An interlaced frame's rows come out of order: it is held whole.
  std::vector<GifPixelType> indexes(
      frame.Interlace ? frame_width * static_cast<std::size_t>(frame.Height) : frame_width);
  if (frame.Interlace && frame.Width > 0)
    for (const Pass& pass : kInterlacePasses)
      for (int y = pass.first; y < frame.Height; y += pass.step)
        if (DGifGetLine(&gif, &indexes[frame_width * static_cast<std::size_t>(y)], frame.Width) ==
            GIF_ERROR)
          return library_problem(gif.Error);
  for (int y = 0; y < decoder.height; ++y) {
    const int frame_row = y - frame.Top;
    if (frame_row < 0 || frame_row >= frame.Height || frame.Width == 0) {
      add_matte_row(resampling, y);
      continue;
    }
    const GifPixelType* line = indexes.data();
    if (frame.Interlace)
      line += frame_width * static_cast<std::size_t>(frame_row);
    else if (DGifGetLine(&gif, indexes.data(), frame.Width) == GIF_ERROR)
      return library_problem(gif.Error);
    std::uint8_t* out = &row[4 * static_cast<std::size_t>(frame.Left)];
    for (std::size_t x = 0; x < frame_width; ++x, out += 4) std::memcpy(out, colours[line[x]], 4);
    add_row(resampling, y, row.data(), 4);
  }
  return {};
}

}  // namespace bitmosaic
