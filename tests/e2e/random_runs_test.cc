// Thousands of random command lines through the real binary. Whatever is
// typed, a run ends with status 0 or 1, never with a sanitizer report; a
// failed run leaves every file as it was; a successful run changes at most
// its destination, and that then holds a whole picture or a valid PNG image,
// or for export a file of its format that reads back as the picture it came
// from. import also gets random bytes, alone, behind a PNG signature and in
// the size of every format, and scaled images; convert gets images of every
// kind and noise behind their signatures; export gets random pictures for
// every format; no default destination replaces a file that was there. The
// .prg program's LZ coding packs and unpacks random data alongside.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/lz_pack.h"
#include "formats/picture_formats.h"
#include "picture/koala_picture.h"
#include "screenshot.h"
#include "support/image_files.h"
#include "support/pattern_picture.h"
#include "support/platform.h"
#include "support/png_decode.h"
#include "support/run_tool.h"
#include "support/written_picture.h"

namespace bitmosaic {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_file;

// Starting a program costs about 20 times as much under wine: the Windows
// build checks the same promises on fewer runs.
#if defined(_WIN32)
constexpr int kRunsPerSeed = 100;
#else
constexpr int kRunsPerSeed = 500;
#endif

const std::vector<std::string> kFirstWords = {
    "info",    "del",      "crop",     "delete",  "delv",    "filter", "mask",    "imask",
    "replace", "replacev", "replaceh", "insert",  "insertv", "inserth", "move",   "movev",
    "moveh",   "merge",    "merge+",   "colcopy", "png",     "show",   "help",    "more",
    "examples", "--help",  "-h",       "--version", "-V",    "",       "DEL",     "pic.kla",
    "import",  "convert", "export"};

// On POSIX systems no opener can be found on the runs' PATH, so -r only
// warns. Windows opens files through the shell, which would start desktop
// programs: there the runs ask for nothing to be opened.
#if defined(_WIN32)
constexpr bool kMayOpen = false;
#else
constexpr bool kMayOpen = true;
#endif

const std::vector<std::string> kFileWords = {
    "pic.kla",   "second.kla", "short.kla",   "long.kla", "empty.kla", "folder.kla",
    "pipe.kla",  "noext",      "missing.kla", "out.kla",  "out.png",   "-r",
    "art.png",   "noise.png",  "noise.bin", "--palette=vice", "--palette=nope",
    "art2x.png", "--",         "-R",        "--palete=vice",  "pic.png",
    "photo.jpg", "anim.gif",   "--dither=floyd", "--dither=none", "--dither=x", "--scale=fit",
    "--scale=stretch", "--background=3", "--background=16",
    "random.kla", "out.gg",    "out.ocp",   "out.zom",  "out.drz",  "--format=gg",
    "--format=pmg", "--format=nope", "--border=3", "--border=16", "sized", "--from=gg",
    "--from=drz", "--from=nope", "out.prg", "--fade", "--sid=noise.bin", "--sid=missing.sid"};

// What import gets as its source: images, pictures and noise.
const std::vector<std::string> kImportSources = {"art.png",  "art2x.png", "noise.png",
                                                 "noise.bin", "pic.kla", "short.kla",
                                                 "empty.kla", "pipe.kla", "noext", "pic.png"};

// What convert gets as its source: images of any size, and noise.
const std::vector<std::string> kConvertSources = {"art.png",  "art2x.png", "photo.jpg", "anim.gif",
                                                  "noise.png", "noise.bin", "noise.jpg", "pic.kla"};

const std::vector<std::string> kNumberWords = {
    "",    "0",    "1",   "7",    "24",  "25",   "39",          "40",          "199",
    "200", "-1",   "+3",  "-40",  "0x1f", "0X10", "010",        "08",          "0b1",
    " 5",  "5 ",   "1a",  "abc",  "-",   "0x",   "99999999999", "-99999999999", "2147483648"};

struct CommandShape {
  std::string keyword;
  int numbers;   // how many numbers the command takes
  int pictures;  // 1, or 2 with a second picture
};

const std::vector<CommandShape> kCommandShapes = {
    {"info", 0, 1},    {"info", 2, 1},     {"del", 4, 1},      {"crop", 4, 1},
    {"delv", 1, 1},    {"delv", 2, 1},     {"delete", 3, 1},   {"filter", 0, 1},
    {"mask", 0, 2},    {"imask", 0, 2},    {"replace", 4, 2},  {"replacev", 1, 2},
    {"replaceh", 1, 2}, {"insert", 4, 2},  {"insertv", 1, 2},  {"inserth", 1, 2},
    {"move", 2, 1},    {"movev", 1, 1},    {"moveh", 1, 1},    {"merge", 0, 2},
    {"merge+", 0, 2},  {"colcopy", 0, 2},  {"png", 0, 1},      {"show", 0, 1},
    {"import", 0, 1},  {"import", 0, 1},  {"convert", 0, 1}, {"export", 0, 1},
    {"export", 0, 1},  {"export", 0, 1}};  // import and export are tried with many formats

using Snapshot = std::map<std::string, std::string>;  // name -> kind and content

Snapshot snapshot(const std::string& folder) {
  Snapshot entries;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_symlink()) entries[name] = "link";
    else if (entry.is_fifo()) entries[name] = "fifo";
    else if (entry.is_directory()) entries[name] = "folder";
    else entries[name] = "file:" + read_file(entry.path().string()).value_or("?");
  }
  return entries;
}

class RandomRuns : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override {
    testing::make_fifo(dir_.file("pipe.kla"));  // none on Windows: then a missing file
    fs::create_directory(dir_.file("folder.kla"));
    options_.directory = dir_.path();
    options_.time_limit_seconds = 20;
  }

  // Puts every input back as it was; a successful run may have replaced one.
  void reset_files() {
    for (const auto& [name, kind] : snapshot(dir_.path()))
      if (kind.rfind("file:", 0) == 0) fs::remove(dir_.file(name));
    const KoalaPicture picture = testing::pattern_picture();
    testing::write_picture(dir_.file("pic.kla"), picture);
    testing::write_picture(dir_.file("second.kla"), testing::pattern_picture(1));
    testing::write_picture(dir_.file("noext"), picture);
    const std::string bytes(picture.begin(), picture.end());
    write_file(dir_.file("short.kla"), bytes.substr(0, kKoalaFileSize - 1));
    write_file(dir_.file("long.kla"), bytes + "x");
    write_file(dir_.file("empty.kla"), "");
    // A valid image, and noise of a random length, once behind a PNG signature.
    static const std::string art =
        render_png(picture, default_palette(), 320, 200, PngLayout::rgb);
    write_file(dir_.file("art.png"), art);
    // An NTSC screenshot at twice its size, in vice's colours.
    static const std::string art2x =
        render_png(picture, c64_palettes()[4].colours, 768, 494, PngLayout::rgb);
    write_file(dir_.file("art2x.png"), art2x);
    write_file(dir_.file("pic.png"), art);  // beside pic.kla: no default destination replaces it
    // A photograph of another shape, and a GIF whose frame lies inside its
    // screen.
    static const std::string photo = [] {
      std::string rgb;
      for (int i = 0; i < 90 * 50 * 3; ++i) rgb += static_cast<char>(i * 7 % 251);
      return testing::encode_jpeg(90, 50, rgb, 2);
    }();
    write_file(dir_.file("photo.jpg"), photo);
    static const std::string gif = testing::encode_gif(
        {40, 30, 5, 5, 20, 10, std::vector<std::uint8_t>(200, 1), {0x000000, 0xFF8040}, 0, true});
    write_file(dir_.file("anim.gif"), gif);
    std::string noise(static_cast<std::size_t>(between(0, 12000)), '\0');
    for (char& c : noise) c = static_cast<char>(between(0, 255));
    if (between(0, 1) == 0 && noise.size() > 100)  // runs, as packed pictures have
      noise.replace(static_cast<std::size_t>(between(0, 50)), 3, "\xFE\x00\x00");
    write_file(dir_.file("noise.bin"), noise);
    write_file(dir_.file("noise.png"), art.substr(0, static_cast<std::size_t>(between(8, 200))) + noise);
    write_file(dir_.file("noise.jpg"), photo.substr(0, static_cast<std::size_t>(between(2, 600))) + noise);
    // A random picture for export, and random bytes in the size of a random
    // format (packed ones: any size up to a little over a picture), once
    // named like it and once without an extension.
    testing::write_picture(dir_.file("random.kla"), random_picture());
    const PictureFormat& sized = pick_format(FormatUse::read);
    sized_format_ = sized.name;
    sized_name_ = "sized" + new_file_suffix(sized);
    const std::size_t size = sized.packing == Packing::none
                                 ? layout_file_size(sized)
                                 : static_cast<std::size_t>(between(0, 11000));
    std::string bytes_of_size(size, '\0');
    for (char& c : bytes_of_size) c = static_cast<char>(between(0, 255));
    write_file(dir_.file("sized"), bytes_of_size);
    write_file(dir_.file(sized_name_), bytes_of_size);
  }

  KoalaPicture random_picture() {
    KoalaPicture picture;
    for (std::uint8_t& byte : picture) byte = static_cast<std::uint8_t>(between(0, 255));
    return picture;
  }

  const PictureFormat& pick_format(FormatUse use) {
    std::vector<const PictureFormat*> formats;
    for (const PictureFormat& format : picture_formats())
      if (use == FormatUse::written ? !format.read_only : format.packing != Packing::displayer)
        formats.push_back(&format);
    return *pick(formats);
  }

  template <typename T>
  const T& pick(const std::vector<T>& words) {
    return words[std::uniform_int_distribution<std::size_t>(0, words.size() - 1)(random_)];
  }
  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // Mostly numbers inside the cell grid, so that many runs get to the files.
  std::string random_number() {
    switch (between(0, 5)) {
      case 0:
      case 1: return pick(kNumberWords);
      case 5: return std::to_string(between(-60, 260));
      default: return std::to_string(between(0, 24));
    }
  }

  // Anything at all: words, numbers and file names in any number and order.
  std::vector<std::string> chaotic_arguments() {
    std::vector<std::string> arguments;
    if (between(0, 30) == 0) return arguments;  // no arguments: the title
    arguments.push_back(pick(kFirstWords));
    for (int count = between(0, 5); count > 0; --count) arguments.push_back(random_number());
    for (int count = between(0, 4); count > 0; --count) arguments.push_back(pick(kFileWords));
    if (between(0, 3) == 0) std::shuffle(arguments.begin(), arguments.end(), random_);
    return arguments;
  }

  // A command with the count of numbers it takes and mostly usable files, so
  // that many runs get as far as saving.
  std::vector<std::string> plausible_arguments() {
    const auto& [keyword, numbers, pictures] = pick(kCommandShapes);
    std::vector<std::string> arguments{keyword};
    for (int count = numbers; count > 0; --count) arguments.push_back(random_number());
    if (keyword == "import") {
      const int source = between(0, 3);
      arguments.push_back(source == 0 ? "sized" : source == 1 ? sized_name_ : pick(kImportSources));
      if (between(0, 3) == 0) arguments.push_back("--format=" + sized_format_);
    } else if (keyword == "convert") {
      arguments.push_back(pick(kConvertSources));
    } else if (keyword == "export") {
      arguments.push_back(between(0, 1) == 0 ? "random.kla" : "pic.kla");
      const PictureFormat& format = pick_format(FormatUse::written);
      if (between(0, 1) == 0)
        arguments.push_back("out" + new_file_suffix(format));
      else
        arguments.push_back("--format=" + std::string(format.name));
      if (between(0, 3) == 0) arguments.push_back("--border=" + std::to_string(between(0, 15)));
    } else {
      arguments.push_back(between(0, 3) == 0 ? pick(kFileWords) : "pic.kla");
    }
    if (pictures == 2) arguments.push_back(between(0, 3) == 0 ? pick(kFileWords) : "second.kla");
    if (between(0, 1) == 0) arguments.push_back(pick(kFileWords));
    if (between(0, 5) == 0) arguments.push_back("-r");
    return arguments;
  }

  std::vector<std::string> random_arguments() {
    std::vector<std::string> arguments =
        between(0, 2) == 0 ? chaotic_arguments() : plausible_arguments();
    if (!kMayOpen) std::erase(arguments, std::string("-r"));
    return arguments;
  }

  // Empty when the run kept every promise, else what it broke.
  std::string broken_promise(const std::vector<std::string>& arguments,
                             const ToolResult& result, const Snapshot& before) {
    if (result.status != 0 && result.status != 1)
      return "exit status " + std::to_string(result.status);
    for (const char* report : {"Sanitizer", "runtime error"})
      if (result.err.find(report) != std::string::npos) return "sanitizer report";
    const Snapshot after = snapshot(dir_.path());
    std::vector<std::string> changed;
    for (const auto& [name, kind] : before)
      if (after.count(name) == 0) return "removed " + name;
    for (const auto& [name, kind] : after)
      if (before.count(name) == 0 || before.at(name) != kind) changed.push_back(name);
    if (changed.empty()) return "";
    if (result.status == 1) return "a failed run changed " + changed.front();
    if (changed.size() > 1) return "changed " + changed[0] + " and " + changed[1];
    const std::string& name = changed.front();
    const bool named = std::find(arguments.begin(), arguments.end(), name) != arguments.end() ||
                       result.out.find("Destination file set to '" + name + "'.") !=
                           std::string::npos;
    if (!named) return "changed " + name + ", which is not the destination";
    const bool default_destination =
        std::find(arguments.begin(), arguments.end(), name) == arguments.end();
    if (default_destination && before.count(name) != 0 && name.find(".out.") == std::string::npos)
      return "replaced " + name + ", an existing file, as the default destination";
    const std::string content = after.at(name).substr(5);
    const testing::DecodedPng image = testing::decode_png(content);
    const bool koala_or_png =
        content.size() == kKoalaFileSize || (image.width == 320 && image.height == 200);
    const bool by_name = !arguments.empty() && (arguments[0] == "export" ||
                                                arguments[0] == "import" ||
                                                arguments[0] == "convert");
    if (by_name && !(arguments[0] != "export" && koala_or_png)) {
      // A file of its format that shows its source, where that is known; a
      // program that shows it in every pixel, read back (the displayer's own
      // tests run those).
      if (testing::is_displayer_program(content, name, arguments)) {
        const std::optional<KoalaPicture> shown = testing::displayer_picture(content);
        for (const char* source : {"pic.kla", "random.kla"})
          if (arguments.size() > 1 && arguments[1] == source &&
              !testing::shows_the_same_pixels(read_picture(before.at(source)), *shown))
            return name + " does not show " + source;
        return "";
      }
      const std::optional<KoalaPicture> read = testing::exported_picture(content, name, arguments);
      if (!read) return name + " reads as no picture";
      for (const char* source : {"pic.kla", "random.kla"})
        if (arguments.size() > 1 && arguments[1] == source &&
            !testing::shows_the_same(read_picture(before.at(source)), *read))
          return name + " does not show " + source;
      return "";
    }
    if (!koala_or_png) return name + " is neither a picture nor a PNG image";
    return "";
  }

  // The program's LZ coding packs random bytes of any length, with runs
  // and repeats near and far as pictures have them, and unpacks them as
  // they were.
  std::string lz_round_trip() {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(between(1, 3000)));
    for (std::size_t at = 0; at < data.size();) {
      const int kind = between(0, 3);  // a run, a repeat, a repeat, noise
      const auto back = static_cast<std::size_t>(kind == 0 ? between(1, 4) : between(1, 2500));
      const auto length = static_cast<std::size_t>(between(1, kind == 0 ? 300 : 12));
      for (const std::size_t end = std::min(data.size(), at + length); at < end; ++at)
        data[at] = kind == 3 || back > at ? static_cast<std::uint8_t>(between(0, 255))
                                          : data[at - back];
    }
    std::vector<std::uint8_t> packed;
    lz_pack(data, packed);
    std::vector<std::uint8_t> back(data.size());
    const std::optional<LzUnpacked> read = lz_unpack(packed, back);
    if (!read || read->consumed != packed.size() || back != data)
      return "lz_pack of " + std::to_string(data.size()) + " bytes does not unpack to them";
    return "";
  }

  static KoalaPicture read_picture(const std::string& snapshot_entry) {
    KoalaPicture picture{};
    const std::string content = snapshot_entry.substr(5);
    std::copy_n(content.begin(), std::min(content.size(), picture.size()), picture.begin());
    return picture;
  }

  TempDir dir_;
  ToolOptions options_;
  std::mt19937 random_{GetParam()};
  std::string sized_format_;  // the format whose size the "sized" files have
  std::string sized_name_;    // "sized" with that format's extension
};

TEST_P(RandomRuns, KeepEveryPromise) {
  for (int run = 0; run < kRunsPerSeed; ++run) {
    reset_files();
    const Snapshot before = snapshot(dir_.path());
    const std::vector<std::string> arguments = random_arguments();
    // No viewer can be found, so opening the result only warns.
    options_.environment = {{"PATH", dir_.file("no-viewers")}};
    if (between(0, 7) == 0 && kMayOpen) options_.environment["bitmosaic"] = "";
    const ToolResult result = run_tool(arguments, options_);
    const std::string broken = broken_promise(arguments, result, before);
    ASSERT_EQ("", broken) << "seed " << GetParam() << ", run " << run << ": "
                          << ::testing::PrintToString(arguments) << "\nstderr: " << result.err;
    if (run % 4 == 0) {
      ASSERT_EQ("", lz_round_trip()) << "seed " << GetParam() << ", run " << run;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomRuns, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
}  // namespace bitmosaic
