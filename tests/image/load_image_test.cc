// Bringing images in for conversion: photographs stand upright whatever
// their EXIF orientation, fill and fit put the image where the geometry
// says, native sizes are reduced by exact box averages, transparent pixels
// lie over the matte, and every refused file gets its message.
#include "image/load_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "image/colour_space.h"
#include "screenshot.h"
#include "support/image_files.h"

namespace bitmosaic {
namespace {

using testing::bytes_of;
using testing::encode_gif;
using testing::encode_jpeg;
using testing::encode_rgba_png;
using testing::GifFrame;
using testing::with_exif_orientation;

constexpr Rgb kBlack{0, 0, 0};

ImageLoad load(const std::string& file, ScaleMode mode = ScaleMode::fill, Rgb matte = kBlack) {
  return load_image_for_conversion(bytes_of(file), "x", mode, matte);
}

// The same file handed out a few bytes at a time, so that every marker and
// segment is split across reads.
ImageLoad load_in_pieces(const std::string& file) {
  struct Pieces {
    const std::string* file;
    std::size_t offset;
  } pieces{&file, 0};
  const auto read = [](void* context, std::uint8_t* buffer, std::size_t size) -> std::size_t {
    auto& from = *static_cast<Pieces*>(context);
    const std::size_t count = std::min({size, std::size_t{7}, from.file->size() - from.offset});
    std::copy_n(from.file->data() + from.offset, count, buffer);
    from.offset += count;
    return count;
  };
  return load_image_for_conversion(ImageReader{&pieces, read}, "x", ScaleMode::fill, kBlack);
}

struct Light {
  float red, green, blue;
};

Light light_at(const LinearImage& image, int x, int y) {
  const float* pixel = &image.rgb[3 * (static_cast<std::size_t>(y) * LinearImage::kWidth +
                                       static_cast<std::size_t>(x))];
  return {pixel[0], pixel[1], pixel[2]};
}

bool outside_at(const LinearImage& image, int x, int y) {
  return image.outside[static_cast<std::size_t>(y) * LinearImage::kWidth +
                       static_cast<std::size_t>(x)] != 0;
}

Light linear(std::uint32_t rgb) {
  return {srgb_to_linear(std::uint8_t(rgb >> 16)), srgb_to_linear(std::uint8_t(rgb >> 8)),
          srgb_to_linear(std::uint8_t(rgb))};
}

void expect_light(const Light& got, const Light& want, float tolerance, const std::string& where) {
  EXPECT_NEAR(got.red, want.red, tolerance) << where;
  EXPECT_NEAR(got.green, want.green, tolerance) << where;
  EXPECT_NEAR(got.blue, want.blue, tolerance) << where;
}

// Pixels of an image of `width` x `height` as 3 bytes each, from a colour
// 0xRRGGBB for every place.
std::string pixels(int width, int height, const std::function<std::uint32_t(int, int)>& colour) {
  std::string rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t value = colour(x, y);
      rgb += {char(value >> 16), char(value >> 8), char(value)};
    }
  return rgb;
}

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kGrey = 0x808080;

// ---------------------------------------------------------------------------
// EXIF orientation: a 64x48 photograph with a red block in its stored
// top-left corner and a green one in its stored top-right corner, stretched
// over the picture. Each value turns it upright its own way.

enum Corner { top_left, top_right, bottom_left, bottom_right };

struct Upright {
  int orientation;
  int width, height;  // upright
  Corner red, green;
};

const Upright kUpright[] = {
    {1, 64, 48, top_left, top_right},       {2, 64, 48, top_right, top_left},
    {3, 64, 48, bottom_right, bottom_left}, {4, 64, 48, bottom_left, bottom_right},
    {5, 48, 64, top_left, bottom_left},     {6, 48, 64, top_right, bottom_right},
    {7, 48, 64, bottom_right, top_right},   {8, 48, 64, bottom_left, top_left},
};

class ExifOrientation : public ::testing::TestWithParam<Upright> {};

TEST_P(ExifOrientation, MarkedCornersLandWhereTheValueTurnsThem) {
  const Upright& upright = GetParam();
  const std::string photograph = encode_jpeg(64, 48, pixels(64, 48, [](int x, int y) {
                                               if (y < 16 && x < 16) return kRed;
                                               if (y < 16 && x >= 48) return kGreen;
                                               return kGrey;
                                             }));
  constexpr int kProbe[4][2] = {{16, 16}, {303, 16}, {16, 183}, {303, 183}};
  for (const bool big_endian : {true, false}) {
    const std::string file = with_exif_orientation(photograph, upright.orientation, big_endian);
    const ImageLoad loaded = load(file, ScaleMode::stretch);
    ASSERT_TRUE(loaded.loaded) << loaded.error;
    EXPECT_EQ(loaded.width, upright.width);
    EXPECT_EQ(loaded.height, upright.height);
    EXPECT_EQ(loaded.description, "Image " + std::to_string(upright.width) + "x" +
                                      std::to_string(upright.height) + " (stretched)");
    for (int corner = 0; corner < 4; ++corner) {
      const std::uint32_t want = corner == upright.red     ? kRed
                                 : corner == upright.green ? kGreen
                                                           : kGrey;
      expect_light(light_at(loaded.image, kProbe[corner][0], kProbe[corner][1]), linear(want),
                   0.03f, "corner " + std::to_string(corner) + (big_endian ? " MM" : " II"));
    }
  }
  // Read a few bytes at a time, the EXIF segment split across reads, the
  // result is the same.
  const std::string file = with_exif_orientation(photograph, upright.orientation, false);
  const ImageLoad whole = load(file);
  const ImageLoad pieces = load_in_pieces(file);
  ASSERT_TRUE(pieces.loaded) << pieces.error;
  EXPECT_EQ(pieces.width, upright.width);
  EXPECT_EQ(pieces.image.rgb, whole.image.rgb);
}

INSTANTIATE_TEST_SUITE_P(EveryValue, ExifOrientation, ::testing::ValuesIn(kUpright));

// ---------------------------------------------------------------------------
// fill, fit and stretch. The picture shows 320 hires pixels of 0.936 by 1,
// so its shape is 299.52:200. The images are larger than the picture, so
// that every hires pixel is the average of the area it covers.

struct Probe {
  int x, y;
  bool outside;
  std::uint32_t colour;  // when inside
};

struct Placed {
  const char* what;
  int width, height;
  std::function<std::uint32_t(int, int)> colour;
  ScaleMode mode;
  std::vector<Probe> probes;
};

// Columns 0-599 red, 600-999 grey, 1000-1599 green.
std::uint32_t three_stripes(int x, int) { return x < 600 ? kRed : x < 1000 ? kGrey : kGreen; }

const Placed kPlaced[] = {
    // 1600x400 filled: full height, 599.04 columns from 500.48 on, 1.872 a
    // hires pixel: column 52 ends before 600, 267 starts after 1000.
    {"wide image filled",
     1600,
     400,
     three_stripes,
     ScaleMode::fill,
     {{0, 0, false, kRed},
      {52, 199, false, kRed},
      {54, 100, false, kGrey},
      {265, 0, false, kGrey},
      {267, 199, false, kGreen},
      {319, 0, false, kGreen}}},
    // Fitted: 320 columns by 74.88 rows, rounded to 75, from row 62.
    {"wide image fitted",
     1600,
     400,
     three_stripes,
     ScaleMode::fit,
     {{0, 61, true, 0},
      {0, 62, false, kRed},
      {160, 100, false, kGrey},
      {319, 136, false, kGreen},
      {319, 137, true, 0}}},
    // 800x800 fitted: 213.7 columns, rounded to 214, from column 53.
    {"square image fitted",
     800,
     800,
     [](int x, int) { return x < 400 ? kRed : kGreen; },
     ScaleMode::fit,
     {{52, 0, true, 0}, {53, 0, false, kRed}, {266, 199, false, kGreen}, {267, 199, true, 0}}},
    // 800x800 filled: all columns, 534.19 rows from 132.91 on, 2.671 a row:
    // row 9 ends before 160, row 190 starts after 640.
    {"square image filled",
     800,
     800,
     [](int, int y) { return y < 160   ? kRed
                             : y < 640 ? kGrey
                                       : kGreen; },
     ScaleMode::fill,
     {{0, 0, false, kRed},
      {0, 9, false, kRed},
      {319, 11, false, kGrey},
      {0, 188, false, kGrey},
      {319, 190, false, kGreen}}},
};

class ScaleModes : public ::testing::TestWithParam<Placed> {};

TEST_P(ScaleModes, ImageLandsWhereTheGeometrySays) {
  const Placed& placed = GetParam();
  const std::string file = encode_rgb_png(placed.width, placed.height,
                                          pixels(placed.width, placed.height, placed.colour));
  const ImageLoad loaded = load(file, placed.mode);
  ASSERT_TRUE(loaded.loaded) << loaded.error;
  for (const Probe& probe : placed.probes) {
    const std::string where = std::to_string(probe.x) + "," + std::to_string(probe.y);
    EXPECT_EQ(outside_at(loaded.image, probe.x, probe.y), probe.outside) << where;
    if (!probe.outside)
      expect_light(light_at(loaded.image, probe.x, probe.y), linear(probe.colour), 1e-5f, where);
  }
}

// A 2x2 image (black column, white column) stretched: interpolated, so the
// middle is half the light, not one of the two pixels.
TEST(Upsampling, Interpolates) {
  const std::string file =
      encode_rgb_png(2, 2, pixels(2, 2, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; }));
  const ImageLoad loaded = load(file, ScaleMode::stretch);
  ASSERT_TRUE(loaded.loaded) << loaded.error;
  EXPECT_NEAR(light_at(loaded.image, 159, 100).red, 0.5f, 0.01f);
  EXPECT_NEAR(light_at(loaded.image, 160, 100).red, 0.5f, 0.01f);
  EXPECT_LT(light_at(loaded.image, 120, 100).red, light_at(loaded.image, 140, 100).red);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScaleModes, ::testing::ValuesIn(kPlaced), [](const auto& info) {
  std::string name = info.param.what;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
});

// ---------------------------------------------------------------------------
// Native sizes: the picture area only, a k-times image reduced by exact box
// averages in linear light.

struct Native {
  int width, height;  // the size at 1x
  int left, top;      // the picture area at 1x
  int across;         // image pixels across the picture at 1x
  int factor;
  const char* description;
};

const Native kNative[] = {
    {160, 200, 0, 0, 160, 1, "Image 160x200"},
    {160, 200, 0, 0, 160, 2, "Image 320x400 (reduced by 2)"},
    {320, 200, 0, 0, 320, 2, "Image 640x400 (reduced by 2)"},
    {384, 272, 32, 35, 320, 1, "Image 384x272"},
    {384, 247, 32, 23, 320, 3, "Image 1152x741 (reduced by 3)"},
    {320, 200, 0, 0, 320, 4, "Image 1280x800 (reduced by 4)"},
};

class NativeSize : public ::testing::TestWithParam<Native> {};

TEST_P(NativeSize, PictureAreaIsReducedByExactBoxAverages) {
  const Native& native = GetParam();
  const int k = native.factor;
  const int width = k * native.width, height = k * native.height;
  const auto noise = [](int x, int y) {
    return static_cast<std::uint32_t>((x * 2654435761u) ^ (y * 40503u * 977u)) & 0xFFFFFFu;
  };
  const ImageLoad loaded =
      load(encode_rgb_png(width, height, pixels(width, height, noise)), ScaleMode::fit);
  ASSERT_TRUE(loaded.loaded) << loaded.error;
  EXPECT_EQ(loaded.description, native.description);
  // A hires pixel covers k*across/320 image columns: half a column of a
  // 160-wide image at 1x.
  const int columns = std::max(1, k * native.across / 320);
  for (int y = 0; y < LinearImage::kHeight; ++y)
    for (int x = 0; x < LinearImage::kWidth; ++x) {
      const int left = k * native.left + x * k * native.across / 320;
      const int top = k * native.top + y * k;
      Light sum{0, 0, 0};
      for (int dy = 0; dy < k; ++dy)
        for (int dx = 0; dx < columns; ++dx) {
          const Light value = linear(noise(left + dx, top + dy));
          sum = {sum.red + value.red, sum.green + value.green, sum.blue + value.blue};
        }
      const float count = static_cast<float>(k * columns);
      ASSERT_FALSE(outside_at(loaded.image, x, y));
      const Light got = light_at(loaded.image, x, y);
      ASSERT_NEAR(got.red, sum.red / count, 1e-6f) << x << "," << y;
      ASSERT_NEAR(got.green, sum.green / count, 1e-6f) << x << "," << y;
      ASSERT_NEAR(got.blue, sum.blue / count, 1e-6f) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, NativeSize, ::testing::ValuesIn(kNative));

// ---------------------------------------------------------------------------
// Transparency: transparent pixels, and a GIF screen outside its first
// frame, show the matte; a GIF's interlaced rows land in their places.

constexpr Rgb kMatte{0xFF, 0xFF, 0x00};
constexpr std::uint32_t kMatteColour = 0xFFFF00;

TEST(Transparency, GifFrameOnItsScreenOverTheMatte) {
  for (const bool interlaced : {true, false}) {
    GifFrame frame{320, 200,       100, 50, 60, 40, {}, {kRed, kGreen, 0x0000FF, 0xFFFFFF},
                   3,   interlaced};
    for (int y = 0; y < frame.height; ++y)
      for (int x = 0; x < frame.width; ++x) frame.indexes.push_back(std::uint8_t((y + x / 8) % 4));
    const ImageLoad loaded = load(encode_gif(frame), ScaleMode::fill, kMatte);
    ASSERT_TRUE(loaded.loaded) << loaded.error;
    EXPECT_EQ(loaded.description, "Image 320x200");
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 320; ++x) {
        const bool in_frame = x >= 100 && x < 160 && y >= 50 && y < 90;
        const int index = in_frame ? (y - 50 + (x - 100) / 8) % 4 : 3;
        const std::uint32_t want = index == 3 ? kMatteColour : frame.colours[std::size_t(index)];
        const Light got = light_at(loaded.image, x, y);
        const Light expected = linear(want);
        ASSERT_TRUE(got.red == expected.red && got.green == expected.green &&
                    got.blue == expected.blue)
            << x << "," << y << (interlaced ? " interlaced" : "");
      }
  }
}

// Alpha 0, 51 and 255 in a 160x200 image, as RGBA and as a palette with
// tRNS: light is mixed with the matte's in proportion to alpha.
TEST(Transparency, PngAlphaMixesWithTheMatte) {
  std::string rgba;
  constexpr std::uint8_t kAlphas[] = {0, 51, 255};
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 160; ++x)
      rgba += {char(0x80), char(0x20), char(0x00), char(kAlphas[x % 3])};
  for (const bool indexed : {false, true}) {
    const ImageLoad loaded =
        load(encode_rgba_png(160, 200, rgba, indexed), ScaleMode::fill, kMatte);
    ASSERT_TRUE(loaded.loaded) << loaded.error;
    for (int x = 0; x < 320; x += 2) {
      const float alpha = kAlphas[(x / 2) % 3] / 255.0f;
      const Light colour = linear(0x802000), matte = linear(kMatteColour);
      expect_light(light_at(loaded.image, x, 7),
                   {alpha * colour.red + (1 - alpha) * matte.red,
                    alpha * colour.green + (1 - alpha) * matte.green,
                    alpha * colour.blue + (1 - alpha) * matte.blue},
                   1e-6f, (indexed ? "palette, column " : "RGBA, column ") + std::to_string(x));
    }
  }
}

// ---------------------------------------------------------------------------
// Refusals: each with its message, whole or read in pieces.

// `file` with the 4 bytes at `at` set to `value`, big-endian, and the CRC
// of the PNG chunk that holds them made right again.
std::string png_with_word(std::string file, std::size_t at, std::uint32_t value,
                          std::size_t chunk_type, std::size_t chunk_length) {
  for (int i = 0; i < 4; ++i) file[at + std::size_t(i)] = char(value >> (24 - 8 * i));
  const auto* data = reinterpret_cast<const Bytef*>(file.data() + chunk_type);
  const uLong crc = crc32(0, data, static_cast<uInt>(4 + chunk_length));
  for (int i = 0; i < 4; ++i)
    file[chunk_type + 4 + chunk_length + std::size_t(i)] = char(crc >> (24 - 8 * i));
  return file;
}

// The SOFn marker's height and width set to `size`.
std::string jpeg_of_size(std::string file, int size) {
  for (std::size_t i = 2; i + 8 < file.size(); ++i)
    if (file[i] == '\xFF' && (file[i + 1] == '\xC0' || file[i + 1] == '\xC2')) {
      for (std::size_t at : {i + 5, i + 7}) {
        file[at] = char(size >> 8);
        file[at + 1] = char(size & 0xFF);
      }
      return file;
    }
  return file;
}

std::string small_photo(int scans = 0) {
  return encode_jpeg(64, 48, pixels(64, 48, [](int x, int y) { return (x * 4) << 16 | (y * 5); }),
                     scans);
}

GifFrame small_gif() {
  GifFrame frame{32, 32, 0, 0, 32, 32, {}, {kRed, kGreen, kGrey, 0x000000}, -1, false};
  for (int i = 0; i < 32 * 32; ++i) frame.indexes.push_back(std::uint8_t((i * 7 + i / 5) % 4));
  return frame;
}

struct Refusal {
  const char* what;
  std::function<std::string()> file;
  const char* message;  // empty: the file is taken
};

const Refusal kRefusals[] = {
    {"not an image", [] { return std::string("GIF88a, or plain text"); },
     "ERROR: File 'x' is not a PNG, JPEG or GIF image."},
    {"JPEG cut short",
     [] {
       const std::string file = small_photo();
       return file.substr(0, file.size() * 3 / 5);
     },
     "ERROR: Image 'x' is damaged (Premature end of JPEG file)."},
    {"PNG cut short",
     [] {
       const std::string file =
           encode_rgb_png(16, 16, pixels(16, 16, [](int x, int y) { return x * y * 999u; }));
       return file.substr(0, file.find("IDAT") + 40);
     },
     "ERROR: Image 'x' is damaged (file ends early)."},
    {"GIF cut short",
     [] {
       const std::string file = encode_gif(small_gif());
       return file.substr(0, file.size() - 40);
     },
     "ERROR: Image 'x' is damaged (Failed to read from given file)."},
    {"progressive JPEG claiming 30000x30000", [] { return jpeg_of_size(small_photo(2), 30000); },
     "ERROR: Image 'x' is too large (30000x30000; at most 32000000 pixels)."},
    {"interlaced PNG held whole past the memory budget",
     [] {
       // IHDR: colour type, compression, filter and interlace method at 25.
       const std::string file = encode_rgb_png(4, 4, pixels(4, 4, [](int, int) { return kGrey; }));
       const std::string sized =
           png_with_word(png_with_word(file, 16, 5500, 12, 13), 20, 5500, 12, 13);
       return png_with_word(sized, 25, 0x02000001, 12, 13);
     },
     "ERROR: Image 'x' is 5500x5500; decoding it would need more than 96 MB."},
    {"PNG claiming 10000x10000",
     [] {
       // IHDR: length at 8, type at 12, width at 16, height at 20, 13 bytes.
       const std::string file = encode_rgb_png(4, 4, pixels(4, 4, [](int, int) { return kGrey; }));
       return png_with_word(png_with_word(file, 16, 10000, 12, 13), 20, 10000, 12, 13);
     },
     "ERROR: Image 'x' is too large (10000x10000; at most 32000000 pixels)."},
    {"GIF claiming a 20000x20000 screen",
     [] {
       GifFrame frame = small_gif();
       frame.screen_width = frame.screen_height = 20000;
       return encode_gif(frame);
     },
     "ERROR: Image 'x' is too large (20000x20000; at most 32000000 pixels)."},
    {"progressive JPEG of 100 scans", [] { return small_photo(100); }, ""},
    {"progressive JPEG of 101 scans", [] { return small_photo(101); },
     "ERROR: Image 'x' has more than 100 scans; a progressive JPEG may have at most 100."},
};

class Refused : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refused, WithItsMessage) {
  const Refusal& refusal = GetParam();
  const std::string file = refusal.file();
  for (const ImageLoad& loaded : {load(file), load_in_pieces(file)}) {
    EXPECT_EQ(loaded.error, refusal.message);
    EXPECT_EQ(loaded.loaded, refusal.message[0] == '\0');
  }
}

INSTANTIATE_TEST_SUITE_P(Files, Refused, ::testing::ValuesIn(kRefusals), [](const auto& info) {
  std::string name = info.param.what;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

}  // namespace
}  // namespace bitmosaic
