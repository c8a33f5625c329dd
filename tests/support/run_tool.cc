// The parts of the tool runner that need no process of their own: files,
// folders and the texts the runs are compared with.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstring>
#include <random>
#include <stdexcept>

#include "support/expected_output.h"
#include "support/run_tool.h"

namespace bitmosaic::testing {

std::string source_dir() { return BITMOSAIC_SOURCE_DIR; }

std::string error_usage() {
  static const std::string usage = expected_output("error-usage.txt");
  return usage;
}

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("bitmosaic-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave folders without write permission behind.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

void write_picture(const std::string& path, const KoalaPicture& picture) {
  write_file(path, std::string(picture.begin(), picture.end()));
}

std::optional<std::string> read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::optional<KoalaPicture> read_picture(const std::string& path) {
  const std::optional<std::string> bytes = read_file(path);
  if (!bytes || bytes->size() != kKoalaFileSize) return std::nullopt;
  KoalaPicture picture;
  std::memcpy(picture.data(), bytes->data(), picture.size());
  return picture;
}

void open_to_everyone(const std::string& directory) {
  std::filesystem::permissions(directory, std::filesystem::perms::all);
}

}  // namespace bitmosaic::testing
