// libFuzzer target: whole runs of the program, in process, on random
// argument vectors and random picture bytes.
//
// An input is up to kMaxArguments arguments, one per line, ended by an empty
// line; the bytes after it make the pictures. Every run happens in a private
// folder that holds:
//   pic.kla     the picture bytes repeated to exactly 10003 bytes
//   second.kla  the same bytes reversed, also 10003 bytes
//   odd.kla     the picture bytes as they are (almost always a wrong size;
//               import reads them as whatever they are)
//   raw.png     the PNG signature followed by the picture bytes, so that
//               import decodes them as a PNG image
//   pipe.kla    a FIFO, and folder.kla, a directory
// Arguments may not contain '/', so a run can only touch that folder.
//
// Besides the sanitizers, each run must keep the program's promises: it ends
// with status 0 or 1; a failed run leaves every file as it was; a successful
// run adds nothing but whole pictures, PNG images, files of a picture
// format that read back as a picture, or programs that show one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "picture/koala_picture.h"
#include "picture/file_saving.h"
#include "support/in_process_run.h"
#include "support/written_picture.h"

namespace {

constexpr std::size_t kMaxArguments = 12;
const std::set<std::string> kFixtures = {"pic.kla",  "second.kla", "odd.kla",
                                         "raw.png",  "pipe.kla",   "folder.kla"};
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

[[noreturn]] void broken(const char* promise, const std::string& name) {
  std::fprintf(stderr, "bitmosaic fuzz: %s: '%s'\n", promise, name.c_str());
  std::abort();
}

std::set<std::string> folder_entries() {
  std::set<std::string> names;
  DIR* folder = ::opendir(".");
  if (folder == nullptr) std::abort();
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  ::closedir(folder);
  return names;
}

std::vector<std::uint8_t> read_whole(const std::string& name) {
  std::vector<std::uint8_t> bytes;
  FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return bytes;
  std::uint8_t buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

void write_whole(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  if (!bitmosaic::save_file_bytes(bytes, name).written) std::abort();
}

std::vector<std::uint8_t> repeated_to_picture_size(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> picture(bitmosaic::kKoalaFileSize, 0);
  if (size > 0)
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = data[i % size];
  return picture;
}

bool is_png(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() > sizeof kPngSignature &&
         std::equal(kPngSignature, kPngSignature + sizeof kPngSignature, bytes.begin());
}

// Splits off the argument lines; false when the input is not one we run.
bool read_arguments(const std::uint8_t*& data, std::size_t& size,
                    std::vector<std::string>& arguments) {
  std::string line;
  while (size > 0) {
    const char c = static_cast<char>(*data++);
    --size;
    if (c != '\n') {
      if (c == '/' || c == '\0') return false;
      line += c;
      continue;
    }
    if (line.empty()) return true;
    if (arguments.size() == kMaxArguments) return false;
    arguments.push_back(line);
    line.clear();
  }
  if (!line.empty() && arguments.size() < kMaxArguments) arguments.push_back(line);
  return true;
}

std::string work_folder;
std::string starting_folder;  // libFuzzer reads its corpus and writes crashes here

void enter(const std::string& folder) {
  if (::chdir(folder.c_str()) != 0) std::abort();
}

void remove_work_folder() {
  enter(work_folder);
  for (const std::string& name : folder_entries()) ::remove(name.c_str());
  enter(starting_folder);
  ::rmdir(work_folder.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char here[4096];
  char pattern[] = "/tmp/bitmosaic-fuzz-XXXXXX";
  if (::getcwd(here, sizeof here) == nullptr || ::mkdtemp(pattern) == nullptr) std::abort();
  starting_folder = here;
  work_folder = pattern;
  std::atexit(remove_work_folder);
  enter(work_folder);
  if (::mkfifo("pipe.kla", 0600) != 0 || ::mkdir("folder.kla", 0700) != 0) std::abort();
  enter(starting_folder);
  // No viewer can be found, so -r only warns; the report stays in plain ASCII.
  ::setenv("PATH", "/nonexistent/bitmosaic-fuzz", 1);
  ::unsetenv("bitmosaic");
  ::setenv("LC_ALL", "C", 1);
  // Standard output goes nowhere; standard error keeps the sanitizer reports.
  const int nowhere = ::open("/dev/null", O_WRONLY);
  if (nowhere < 0 || ::dup2(nowhere, 1) < 0) std::abort();
  ::close(nowhere);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments;
  if (!read_arguments(data, size, arguments)) return 0;
  enter(work_folder);
  for (const std::string& name : folder_entries())
    if (kFixtures.count(name) == 0) ::remove(name.c_str());
  const std::vector<std::uint8_t> picture = repeated_to_picture_size(data, size);
  std::vector<std::uint8_t> reversed(data, data + size);
  std::reverse(reversed.begin(), reversed.end());
  write_whole("pic.kla", picture);
  write_whole("second.kla", repeated_to_picture_size(reversed.data(), reversed.size()));
  write_whole("odd.kla", std::vector<std::uint8_t>(data, data + size));
  std::vector<std::uint8_t> png(kPngSignature, kPngSignature + sizeof kPngSignature);
  png.insert(png.end(), data, data + size);
  write_whole("raw.png", png);
  const std::set<std::string> before = folder_entries();

  const int status = bitmosaic::testing::run_in_process(arguments);

  if (status != 0 && status != 1) broken("exit status other than 0 or 1", "");
  const std::set<std::string> after = folder_entries();
  for (const std::string& name : after) {
    if (before.count(name) != 0) continue;
    if (status == 1) broken("a failed run left a file behind", name);
    const std::vector<std::uint8_t> written = read_whole(name);
    const std::string content(written.begin(), written.end());
    if (written.size() != bitmosaic::kKoalaFileSize && !is_png(written) &&
        !bitmosaic::testing::exported_picture(content, name, arguments) &&
        !bitmosaic::testing::is_displayer_program(content, name, arguments))
      broken("a run wrote something that is neither a picture nor a PNG image", name);
  }
  if (status == 1) {
    if (after != before) broken("a failed run removed a file", "");
    if (read_whole("pic.kla") != picture) broken("a failed run changed a file", "pic.kla");
  }
  enter(starting_folder);
  return 0;
}
