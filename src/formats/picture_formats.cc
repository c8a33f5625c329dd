#include "formats/picture_formats.h"

#include "base/words.h"
#include "picture/koala_picture.h"

namespace bitmosaic {
namespace {

// The places of the parts, by the rules the programs follow.
constexpr std::size_t kCellColourBytes = 1000;  // one colour byte per cell
// Programs that save memory as it is keep each 1000-byte colour block in
// 1 KiB and the 8000-byte bitmap in 8 KiB, as the machine addresses them.
constexpr std::size_t kColourBlock = 1024;
constexpr std::size_t kBitmapBlock = 8192;

// Koala's order from `at`: bitmap, screen colours, colour RAM and
// background, each right after the one before.
constexpr Layout koala_order(std::size_t at) {
  return {at, at + kBitmapSize, at + kBitmapSize + kCellColourBytes,
          at + kBitmapSize + 2 * kCellColourBytes};
}

// Memory's blocks: bitmap, then screen colours, then colour RAM.
constexpr Layout bitmap_screen_colour_blocks(std::size_t background) {
  return {0, kBitmapBlock, kBitmapBlock + kColourBlock, background};
}

// Memory's blocks: colour RAM, then screen colours, then bitmap (Vidcom's order).
constexpr Layout colour_screen_bitmap_blocks(std::size_t background) {
  return {2 * kColourBlock, kColourBlock, 0, background};
}

// Memory's blocks: screen colours, then bitmap, then colour RAM.
constexpr Layout screen_bitmap_colour_blocks(std::size_t background) {
  return {kColourBlock, 0, kColourBlock + kBitmapBlock, background};
}

// Memory's blocks: colour RAM, then bitmap, then screen colours.
constexpr Layout colour_bitmap_screen_blocks(std::size_t background) {
  return {kColourBlock, kColourBlock + kBitmapBlock, 0, background};
}

// Sources disagree on the background's place: it goes in both.
constexpr Layout also_background_at(Layout layout, std::size_t at) {
  layout.second_background = at;
  return layout;
}

constexpr Layout background_at(Layout layout, std::size_t at) {
  layout.background = at;
  return layout;
}

// The data of a format after its load address: Koala's 10001 bytes.
constexpr std::size_t kKoalaData = kKoalaFileSize - kBitmapOffset;
// Vidcom's order fills three 1 KiB blocks and the bitmap: 10048 bytes.
constexpr std::size_t kVidcomData = 2 * kColourBlock + kBitmapSize;

constexpr const char kKoalaNames[] = "kla koa gig";

using AS = AddressSource;

// Load addresses marked `chosen`: the sheet gives none. Each puts the bitmap
// on an 8 KiB boundary where the layout allows it, loads nothing over zero
// page or the stack, and differs from the other formats of the same size.
constexpr PictureFormat kFormats[] = {
    {"koala", "Koala", kKoalaNames, kKoalaData, 0x6000, AS::known, koala_order(0),
     Packing::none, {}, 0, true},
    {"koala-raw", "Koala", kKoalaNames, kKoalaData, 0x6000, AS::none, koala_order(0),
     Packing::none, {}, 0, true},
    {"koala-padded", "Koala", kKoalaNames, kKoalaData + 3, 0x6000, AS::known, koala_order(0),
     Packing::none, {}, 3, true},
    {"gg", "Packed Koala", "gg kla koa gig", kKoalaData, 0x6000, AS::known, koala_order(0),
     Packing::gg, {}, 0, true},
    {"runpaint", "Run Paint", "rpm", kKoalaData + 3, 0x6000, AS::known, koala_order(0)},
    {"interpaint", "Interpaint multicolour", "ipt lre", kKoalaData, 0x4000, AS::known,
     koala_order(0)},
    {"facepainter", "Face Painter", "fpt fcp", kKoalaData + 1, 0x4000, AS::known,
     also_background_at(koala_order(0), 10001)},
    {"garfield", "Create with Garfield", "cwg", kKoalaData + 4, 0x8000, AS::known,
     also_background_at(background_at(koala_order(0), 10001), 10000)},
    {"cdu", "CDU-Paint", "cdu", 273 + kKoalaData + 1, 0x7EEF, AS::known, koala_order(273)},
    {"artstudio", "Advanced Art Studio", "ocp mpic mpi", 10016, 0x2000, AS::known,
     {0, 8000, 9016, 9001, kNowhere, 9000}},
    {"blazingpaddles", "Blazing Paddles", "pi bpl", kBitmapBlock + 2 * kColourBlock, 0xA000,
     AS::known, bitmap_screen_colour_blocks(8064)},
    {"artist64", "Wigmore Artist 64", "a64 wig", kBitmapBlock + 2 * kColourBlock, 0x4000,
     AS::known, bitmap_screen_colour_blocks(10239)},
    {"imagesystem", "Image System multicolour", "ism",
     kColourBlock + kBitmapBlock + kCellColourBytes, 0x3C00, AS::known,
     colour_bitmap_screen_blocks(9215)},
    {"vidcom", "Vidcom 64", "vid", kVidcomData, 0x5800, AS::known,
     also_background_at(colour_screen_bitmap_blocks(2024), 2025)},
    {"dolphined", "Dolphin Ed", "dol", kVidcomData + 192, 0x5800, AS::known,
     also_background_at(colour_screen_bitmap_blocks(2024), 2025)},
    {"picasso", "Picasso 64", "p64 fly", kVidcomData, 0x3800, AS::chosen,
     colour_screen_bitmap_blocks(2047)},
    {"saracen", "Saracen Paint", "sar", kColourBlock + kBitmapBlock + kCellColourBytes + 1,
     0x7800, AS::known, screen_bitmap_colour_blocks(1008)},
    {"rainbow", "Rainbow Painter", "rp", kBitmapBlock + 2 * kColourBlock, 0x5C00, AS::chosen,
     screen_bitmap_colour_blocks(kNowhere)},
    {"paintmagic", "Paint Magic", "pmg", 9330, 0x3F8E, AS::known,
     {114, 8306, 8117, 8114, kNowhere, 8118, Spread::every_cell, Spread::all_cells}},
    {"drazpaint", "Drazpaint", "drz drp", kVidcomData + 1, 0x5800, AS::known,
     colour_screen_bitmap_blocks(10048)},
    {"drazpaint-packed", "Packed Drazpaint", "drz drp", kVidcomData + 1, 0x5800, AS::known,
     colour_screen_bitmap_blocks(10048), Packing::drazpaint},
    {"cenimate", "Cenimate", "cen", kVidcomData + 1, 0x5800, AS::known,
     colour_screen_bitmap_blocks(10048)},
    {"multigraf", "Multigraf", "mg", kBitmapBlock + 3 * kColourBlock, 0x3000, AS::known,
     bitmap_screen_colour_blocks(8175), Packing::none,
     {8176, "MULTIGRAF V1.30", 16, false}},
    {"cheese", "Cheese", "che", 20480, 0x4000, AS::chosen, {0, 16896, 18432, 20477}},
    {"centauri", "Centauri Logo Editor", "cle", kBitmapBlock, 0x2000, AS::chosen,
     {0, 8000, 8001, 8002, kNowhere, kNowhere, Spread::all_cells, Spread::all_cells}},
    // Byte 5 of the header is 0 in the unpacked form; 1 and 2 mark packed
    // ones, which are not read.
    {"microillustrator", "Micro Illustrator", "mil", 2020 + kBitmapSize, 0x4000, AS::chosen,
     {2020, 20, 1020, 6}, Packing::none, {5, "", 1, true}},
    {"amica", "Amica Paint", "ami", kKoalaData, 0x4000, AS::known, koala_order(0),
     Packing::amica},
    {"zoomatic", "Zoomatic", "zom", kKoalaData, 0x6000, AS::known, koala_order(0),
     Packing::zoomatic, {}, 0, false, true},
    {"boogiedown", "Boogie Down Paint", "bdp", kKoalaData, 0, AS::unknown, koala_order(0),
     Packing::boogie_down_escape, {}, 0, false, true},
    {"boogiedown5", "Boogie Down Paint 5", "bdp", kKoalaData, 0, AS::unknown, koala_order(0),
     Packing::boogie_down_5, {}, 0, false, true},
    {"boogiedown-commands", "Boogie Down Paint", "bdp", kKoalaData, 0, AS::unknown,
     koala_order(0), Packing::boogie_down_commands, {}, 0, false, true},
    // A program that shows the picture when it is loaded and RUN, from
    // BASIC's start (see displayer.h); the table's readers do not read it,
    // displayer_reader.h reads back our own.
    {"prg", "Displayer program", "prg", kKoalaData, 0x0801, AS::known, koala_order(0),
     Packing::displayer},
};

constexpr RunCoding kEscapeFromFile{0, RunOrder::count_then_value, ZeroRun::as_256};

constexpr PackingRule kPackingRules[] = {
    {Packing::gg, {0xFE, RunOrder::value_then_count, ZeroRun::as_256}, nullptr, 0, kNowhere,
     kNowhere, 0, false, 0, false, ZeroRun::as_none},
    {Packing::amica, {0xC2, RunOrder::count_then_value, ZeroRun::as_end}, nullptr, 0, kNowhere,
     kNowhere, 0, false, 256, true, ZeroRun::as_end},
    // The version in the header varies between sources ("1.4", "2.0"):
    // reading compares only the name and its blank (header_length 10).
    {Packing::drazpaint, {0, RunOrder::count_then_value, ZeroRun::as_none}, "DRAZPAINT 1.4", 10,
     13, kNowhere, 14, false, 0, false, ZeroRun::as_256},
    {Packing::zoomatic, kEscapeFromFile, nullptr, 0, kNowhere, kNowhere, 0, true, 0, false,
     ZeroRun::as_256},
    {Packing::boogie_down_escape, kEscapeFromFile, "\x02\x04\x10\x36\x30\x30", 6, 6, kNowhere, 8,
     false, 0, false, ZeroRun::as_256},
    {Packing::boogie_down_5, kEscapeFromFile, "BDP 5.00", 8, 8, 9, 10, false, 0, false,
     ZeroRun::as_256},
    {Packing::boogie_down_commands,
     {0xFF, RunOrder::count_then_value, ZeroRun::as_256, kNoCommand, 0xFE, false}, nullptr, 0,
     kNowhere, kNowhere, 0, false, 0, false, ZeroRun::as_256},
};

}  // namespace

std::span<const PictureFormat> picture_formats() { return kFormats; }

// The rules stand in the order of Packing, from Packing::gg on.
constexpr bool rules_in_order() {
  for (std::size_t i = 0; i < std::size(kPackingRules); ++i)
    if (static_cast<std::size_t>(kPackingRules[i].packing) != i + 1) return false;
  return true;
}
static_assert(rules_in_order());

const PackingRule* packing_rule(Packing packing) {
  const auto index = static_cast<std::size_t>(packing);
  return index >= 1 && index <= std::size(kPackingRules) ? &kPackingRules[index - 1] : nullptr;
}

std::size_t layout_file_size(const PictureFormat& format) {
  return (format.address_source == AddressSource::none ? 0 : 2) + format.data_size;
}

bool has_extension(const PictureFormat& format, std::string_view extension) {
  if (extension.empty()) return false;
  std::string_view names = format.extensions;
  while (!names.empty()) {
    const std::size_t blank = names.find(' ');
    if (equal_ignoring_case(names.substr(0, blank), extension)) return true;
    if (blank == std::string_view::npos) break;
    names.remove_prefix(blank + 1);
  }
  return false;
}

const PictureFormat* format_named(std::string_view name) {
  for (const PictureFormat& format : kFormats)
    if (equal_ignoring_case(format.name, name)) return &format;
  for (const PictureFormat& format : kFormats)
    if (has_extension(format, name)) return &format;
  return nullptr;
}

std::string_view file_extension(std::string_view path) {
  const std::size_t name_start = path.find_last_of("/\\");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos ||
      (name_start != std::string_view::npos && dot < name_start))
    return {};
  return path.substr(dot + 1);
}

std::string format_names(FormatUse use) {
  std::string names;
  for (const PictureFormat& format : kFormats) {
    const bool taken = use == FormatUse::written ? !format.read_only
                                                 : format.packing != Packing::displayer;
    if (!taken) continue;
    if (!names.empty()) names += ", ";
    names += format.name;
  }
  return names;
}

std::string new_file_suffix(const PictureFormat& format) {
  const std::string_view names = format.extensions;
  std::string suffix = ".";
  suffix.append(names.substr(0, names.find(' ')));
  return suffix;
}

}  // namespace bitmosaic
