#include "picture/picture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/pattern_picture.h"
#include "support/platform.h"
#include "support/run_tool.h"

namespace bitmosaic {
namespace {

using testing::pattern_picture;
using testing::read_picture;
using testing::TempDir;
using testing::write_file;
using testing::write_picture;

std::size_t entries_in(const std::string& directory) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
    ++count;
  return count;
}

TEST(LoadFileBytes, FillsThePictureFromAFileOfExactlyItsSize) {
  TempDir dir;
  write_picture(dir.file("pic.kla"), pattern_picture(4));
  KoalaPicture picture{};
  std::int64_t size = -1;
  EXPECT_TRUE(path_exists(dir.file("pic.kla")));
  EXPECT_EQ(LoadResult::loaded, load_file_bytes(dir.file("pic.kla"), picture, &size));
  EXPECT_EQ(10003, size);
  EXPECT_EQ("", testing::differences(pattern_picture(4), picture));
}

TEST(LoadFileBytes, ReportsTheRealSizeOfAnyOtherFileWithoutReadingIt) {
  TempDir dir;
  for (const std::size_t length : {0u, 1u, 10002u, 10004u}) {
    write_file(dir.file("odd"), std::string(length, '\x5a'));
    KoalaPicture picture{};
    std::int64_t size = -1;
    EXPECT_EQ(LoadResult::wrong_size, load_file_bytes(dir.file("odd"), picture, &size));
    EXPECT_EQ(static_cast<std::int64_t>(length), size);
    EXPECT_EQ(KoalaPicture{}, picture) << "no byte may be read";
  }
}

TEST(LoadFileBytes, AnythingButARegularFileIsUnreadable) {
  SKIP_ON_WINDOWS("FIFOs and /dev/null");
  TempDir dir;
  ASSERT_TRUE(testing::make_fifo(dir.file("fifo")));
  for (const std::string& path : {dir.path(), dir.file("fifo"), std::string("/dev/null"),
                                 dir.file("missing.kla")}) {
    KoalaPicture picture{};
    std::int64_t size = -1;
    EXPECT_FALSE(path_exists(path)) << path;
    EXPECT_EQ(LoadResult::unreadable, load_file_bytes(path, picture, &size)) << path;
    EXPECT_EQ(-1, size) << path;
  }
}

TEST(OpenForReading, GivesTheWholeFileInPiecesThenNothing) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>(i * 7 + i / 251);
  write_file(dir.file("image.jpg"), bytes);
  const OpenFile file = open_for_reading(dir.file("image.jpg"));
  ASSERT_TRUE(file);
  std::string read;
  std::uint8_t piece[4096];
  for (std::size_t got; (got = read_next(*file, piece)) > 0;)
    read.append(reinterpret_cast<const char*>(piece), got);
  EXPECT_EQ(read, bytes);
  EXPECT_EQ(read_next(*file, piece), 0u);
  EXPECT_FALSE(open_for_reading(dir.path()));
  EXPECT_FALSE(open_for_reading(dir.file("missing.jpg")));
}

TEST(SaveFileBytes, NewFileGetsTheUsualPermissions) {
  SKIP_ON_WINDOWS("the umask and mode bits");
  TempDir dir;
  const mode_t mask = ::umask(022);
  EXPECT_TRUE(save_file_bytes(pattern_picture(), dir.file("new.kla")).written);
  ::umask(mask);
  struct stat info;
  ASSERT_EQ(0, ::stat(dir.file("new.kla").c_str(), &info));
  EXPECT_EQ(0644u, info.st_mode & 07777);
  EXPECT_EQ(1u, entries_in(dir.path())) << "no temporary file may stay behind";
}

TEST(SaveFileBytes, ReplacesAFileAndKeepsItsPermissions) {
  SKIP_ON_WINDOWS("mode bits");
  TempDir dir;
  write_file(dir.file("old.kla"), "old");
  ::chmod(dir.file("old.kla").c_str(), 0604);
  EXPECT_TRUE(save_file_bytes(pattern_picture(), dir.file("old.kla")).written);
  struct stat info;
  ASSERT_EQ(0, ::stat(dir.file("old.kla").c_str(), &info));
  EXPECT_EQ(0604u, info.st_mode & 07777);
  EXPECT_EQ(pattern_picture(), read_picture(dir.file("old.kla")));
  EXPECT_EQ(1u, entries_in(dir.path()));
}

TEST(SaveFileBytes, WritesThroughSymbolicLinksAndKeepsThem) {
  SKIP_ON_WINDOWS("symbolic links");
  TempDir dir;
  std::filesystem::create_directory(dir.file("real"));
  write_file(dir.file("real/target.kla"), "old");
  // A relative chain: link1 -> link2 -> real/target.kla.
  std::filesystem::create_symlink("real/target.kla", dir.file("link2"));
  std::filesystem::create_symlink("link2", dir.file("link1"));
  EXPECT_TRUE(save_file_bytes(pattern_picture(), dir.file("link1")).written);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link1")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link2")));
  EXPECT_EQ(pattern_picture(), read_picture(dir.file("real/target.kla")));
}

TEST(SaveFileBytes, ADanglingLinkIsRefused) {
  SKIP_ON_WINDOWS("symbolic links");
  TempDir dir;
  std::filesystem::create_symlink("made.kla", dir.file("link"));
  const SaveResult saved = save_file_bytes(pattern_picture(), dir.file("link"));
  EXPECT_FALSE(saved.written);
  EXPECT_EQ("No such file or directory", saved.reason);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("made.kla")));
  EXPECT_EQ(1u, entries_in(dir.path()));
}

TEST(SaveFileBytes, FailsWhereNothingCanBeWritten) {
  SKIP_ON_WINDOWS("/dev/full and POSIX error texts");
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder"));
  // Each with the system's words for the cause.
  EXPECT_EQ("No such file or directory",
            save_file_bytes(pattern_picture(), dir.file("missing/out.kla")).reason);
  EXPECT_EQ("Is a directory", save_file_bytes(pattern_picture(), dir.file("folder")).reason);
  EXPECT_EQ("No space left on device", save_file_bytes(pattern_picture(), "/dev/full").reason);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
  EXPECT_EQ(1u, entries_in(dir.path()));
}

TEST(SaveFileBytes, DevicesAreWrittenDirectly) {
  SKIP_ON_WINDOWS("/dev/null");
  EXPECT_TRUE(save_file_bytes(pattern_picture(), "/dev/null").written);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace bitmosaic
