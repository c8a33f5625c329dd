// What a save keeps and refuses, through the real binary: owner, group,
// mode, attributes and ACLs of a replaced file, links as the kernel follows
// them, standard output as destination, output errors, interruptions and
// names shown on a terminal.
#include <gtest/gtest.h>

#if defined(_WIN32)
TEST(SaveKeeps, NeedsAPosixSystem) {
  GTEST_SKIP() << "owners, mode bits, ACLs, links, /dev files, signals and terminals are POSIX";
}
#else
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/pattern_picture.h"
#include "support/png_decode.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"

namespace bitmosaic {
namespace {

using testing::decode_png;
using testing::error_usage;
using testing::pattern_picture;
using testing::read_file;
using testing::read_picture;
using testing::run_tool;
using testing::TempDir;
using testing::ToolOptions;
using testing::ToolResult;
using testing::write_file;
using testing::write_picture;

constexpr uid_t kNobody = 65534;

class SaveKeeps : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    write_picture(dir_.file("pic.kla"), pattern_picture());
  }
  struct stat status_of(const std::string& name) {
    struct stat info {};
    EXPECT_EQ(0, ::lstat(dir_.file(name).c_str(), &info)) << name;
    return info;
  }
};

TEST_F(SaveKeeps, AReplacedFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand a file to another user";
  write_file(dir_.file("old.kla"), "old");
  ASSERT_EQ(0, ::chown(dir_.file("old.kla").c_str(), kNobody, kNobody));
  ASSERT_EQ(0, ::chmod(dir_.file("old.kla").c_str(), 02640));
  ASSERT_EQ(0, run({"filter", "pic.kla", "old.kla"}).status);
  const struct stat info = status_of("old.kla");
  EXPECT_EQ(kNobody, info.st_uid);
  EXPECT_EQ(kNobody, info.st_gid);
  EXPECT_EQ(02640u, info.st_mode & 07777);
  EXPECT_EQ(10003, info.st_size);
}

TEST_F(SaveKeeps, ASetIdFileWhoseOwnerCannotBeKeptLosesTheBits) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up another user's file";
  testing::open_to_everyone(dir_.path());
  ASSERT_EQ(0, ::chmod(dir_.path().c_str(), 0777));
  write_file(dir_.file("old.kla"), "old");
  // root's, set-user- and -group-ID, and everybody may write it
  ASSERT_EQ(0, ::chmod(dir_.file("old.kla").c_str(), 06776));
  options_.without_privileges = true;
  const ToolResult result = run({"filter", "pic.kla", "old.kla"});
  if (result.status == testing::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root";
  ASSERT_EQ(0, result.status) << result.err;
  const struct stat info = status_of("old.kla");
  EXPECT_EQ(kNobody, info.st_uid);
  EXPECT_NE(0u, info.st_gid);
  // Neither ID bit survives, and the new group may do no more than others.
  EXPECT_EQ(0766u, info.st_mode & 07777);
}

// An access ACL as the kernel stores it: user::rw- user:nobody:rw- group::r--
// mask::rw- other::r--.
std::string access_acl() {
  const auto entry = [](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 2; ++i) bytes[i] = static_cast<char>(tag >> (8 * i));
    for (int i = 0; i < 2; ++i) bytes[2 + i] = static_cast<char>(permissions >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(id >> (8 * i));
    return bytes;
  };
  constexpr std::uint32_t kNoId = 0xFFFFFFFF;
  return std::string("\x02\0\0\0", 4) + entry(0x01, 6, kNoId) + entry(0x02, 6, kNobody) +
         entry(0x04, 4, kNoId) + entry(0x10, 6, kNoId) + entry(0x20, 4, kNoId);
}

std::optional<std::string> attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
  if (size < 0) return std::nullopt;
  return std::string(value, static_cast<std::size_t>(size));
}

TEST_F(SaveKeeps, AttributesAndTheAccessAclSurvive) {
  const std::string old = dir_.file("old.kla");
  write_file(old, "old");
  const std::string acl = access_acl();
  if (::setxattr(old.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
      ::setxattr(old.c_str(), "user.origin", "koala", 5, 0) != 0)
    GTEST_SKIP() << "the file system keeps no ACLs or user attributes here";
  const mode_t mode_with_acl = status_of("old.kla").st_mode & 07777;
  ASSERT_EQ(0, run({"filter", "pic.kla", "old.kla"}).status);
  EXPECT_EQ(acl, attribute(old, "system.posix_acl_access"));
  EXPECT_EQ("koala", attribute(old, "user.origin"));
  EXPECT_EQ(mode_with_acl, status_of("old.kla").st_mode & 07777);
}

// The kernel refuses to follow a link that another user planted in a sticky
// world-writable folder; the save gets that refusal, as cp does.
TEST_F(SaveKeeps, APlantedLinkInAStickyFolderIsRefusedLikeCpRefusesIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
  const char* kSysctl = "/proc/sys/fs/protected_symlinks";
  std::string setting;
  if (!(std::ifstream(kSysctl) >> setting)) GTEST_SKIP() << "cannot read " << kSysctl;
  if (setting != "1" && !(std::ofstream(kSysctl) << "1"))
    GTEST_SKIP() << "protected_symlinks is off and cannot be switched on";
  std::filesystem::create_directory(dir_.file("shared"));
  ASSERT_EQ(0, ::chmod(dir_.file("shared").c_str(), 01777));
  write_file(dir_.file("system.kla"), "precious");
  std::filesystem::create_symlink("../system.kla", dir_.file("shared/link.kla"));
  ASSERT_EQ(0, ::lchown(dir_.file("shared/link.kla").c_str(), kNobody, kNobody));
  const ToolResult result = run({"filter", "pic.kla", "shared/link.kla"});
  if (setting != "1") std::ofstream(kSysctl) << setting;
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File 'shared/link.kla' could not be written (Permission denied).",
            result.err);
  EXPECT_EQ("precious", read_file(dir_.file("system.kla")));
}

TEST_F(SaveKeeps, ADanglingLinkIsRefused) {
  std::filesystem::create_symlink("elsewhere.kla", dir_.file("link.kla"));
  const ToolResult result = run({"filter", "pic.kla", "link.kla"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File 'link.kla' could not be written (No such file or directory).",
            result.err);
  EXPECT_EQ("Saving...\n" + error_usage(), result.out);
  EXPECT_EQ((std::vector<std::string>{"link.kla", "pic.kla"}), names());
}

TEST_F(SaveKeeps, StandardOutputAsDestinationGetsOnlyThePicture) {
  const ToolResult piped = run({"png", "pic.kla", "/dev/stdout"});
  EXPECT_EQ(0, piped.status);
  EXPECT_EQ("Saving...\nDone.\n", piped.err);
  EXPECT_EQ(320u, decode_png(piped.out).width);

  // Redirected to a file, twice: the file is written in place, not renamed.
  options_.standard_output = dir_.file("out.png");
  for (int run_number = 0; run_number < 2; ++run_number) {
    const ToolResult redirected = run({"png", "pic.kla", "/dev/stdout"});
    EXPECT_EQ(0, redirected.status);
    EXPECT_EQ("Saving...\nDone.\n", redirected.err);
  }
  EXPECT_EQ(320u, decode_png(read_file(dir_.file("out.png")).value_or("")).width);
  EXPECT_EQ((std::vector<std::string>{"out.png", "pic.kla"}), names());
}

struct OutputCase {
  std::vector<std::string> arguments;
  std::string standard_output;  // "" closed
  std::string reason;
};

class UnwritableOutput : public SaveKeeps, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(UnwritableOutput, EndsWithStatusOneAndSaysSo) {
  const OutputCase& c = GetParam();
  options_.standard_output = c.standard_output;
  const ToolResult result = run(c.arguments);
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Standard output could not be written (" + c.reason + ").\n", result.err);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, UnwritableOutput,
    ::testing::Values(OutputCase{{"info", "5", "5", "pic.kla"}, "/dev/full",
                                 "No space left on device"},
                      OutputCase{{"show", "pic.kla"}, "/dev/full", "No space left on device"},
                      OutputCase{{"help"}, "", "Bad file descriptor"},
                      OutputCase{{"examples"}, "/dev/full", "No space left on device"}));

TEST_F(SaveKeeps, WithStandardOutputClosedThePictureIsStillSavedWhole) {
  options_.standard_output = "";
  const ToolResult result = run({"filter", "pic.kla", "out.kla"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Standard output could not be written (Bad file descriptor).\n",
            result.err);
  EXPECT_EQ(10003u, read_file(dir_.file("out.kla")).value_or("").size());
}

// strace holds the save in its flush for two seconds, long enough to
// interrupt it while the temporary file exists. SIGTERM was always covered;
// SIGUSR1 and SIGALRM stand for the other signals whose default action ends
// the process.
class InterruptedSave : public SaveKeeps, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptedSave, LeavesNothingBehindAndEndsByTheSignal) {
  const int signal_number = GetParam();
  if (std::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  write_file(dir_.file("old.kla"), "precious");
  options_.runner = {"strace", "-qq", "-o", "/dev/null", "-e", "trace=fsync",
                     "-e", "inject=fsync:delay_enter=2000000"};
  const pid_t tracer = testing::start_tool({"filter", "pic.kla", "old.kla"}, options_);
  // Wait for the temporary file to appear.
  bool seen = false;
  for (int i = 0; i < 200 && !seen; ++i) {
    for (const std::string& name : names()) seen = seen || name.starts_with(".bitmosaic-");
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string children;
  const std::string list = "/proc/" + std::to_string(tracer) + "/task/" +
                           std::to_string(tracer) + "/children";
  std::ifstream(list) >> children;
  if (!seen || children.empty()) {
    ::kill(tracer, SIGKILL);
    testing::wait_tool(tracer);
    GTEST_SKIP() << "could not catch the save in its flush under strace";
  }
  ASSERT_EQ(0, ::kill(std::stoi(children), signal_number));
  EXPECT_EQ(signal_number, testing::wait_tool_signal(tracer));
  EXPECT_EQ("precious", read_file(dir_.file("old.kla")));
  EXPECT_EQ((std::vector<std::string>{"old.kla", "pic.kla"}), names());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedSave, ::testing::Values(SIGTERM, SIGUSR1, SIGALRM));

// A file this user may not write is refused, as cp refuses it; the kernel
// decides with the effective ids, so root may replace it, as with cp.
TEST_F(SaveKeeps, AReadOnlyDestinationIsRefusedUnlessTheUserMayWriteIt) {
  write_file(dir_.file("old.kla"), "precious");
  ASSERT_EQ(0, ::chmod(dir_.file("old.kla").c_str(), 0444));
  if (::geteuid() == 0) {
    ASSERT_EQ(0, run({"filter", "pic.kla", "old.kla"}).status);
    EXPECT_EQ(10003u, read_file(dir_.file("old.kla")).value_or("").size());
    write_file(dir_.file("theirs.kla"), "precious");
    ASSERT_EQ(0, ::chmod(dir_.file("theirs.kla").c_str(), 0444));
    ASSERT_EQ(0, ::chown(dir_.file("theirs.kla").c_str(), kNobody, kNobody));
    testing::open_to_everyone(dir_.path());
    ASSERT_EQ(0, ::chmod(dir_.path().c_str(), 0777));
    options_.without_privileges = true;
  }
  const std::string name = ::geteuid() == 0 ? "theirs.kla" : "old.kla";
  const ToolResult result = run({"filter", "pic.kla", name});
  if (result.status == testing::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root";
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File '" + name + "' could not be written (Permission denied).", result.err);
  EXPECT_EQ("precious", read_file(dir_.file(name)));
  for (const std::string& left : names()) EXPECT_FALSE(left.starts_with(".bitmosaic-")) << left;
}

// Standard output is written through the run's own descriptor: at its
// offset and in its mode, never truncated or opened again.
struct SharedOutputCase {
  const char* what;
  std::string shell;  // runs the tool as "$0" "$@", its output going to out.png
  const char* destination;
  std::string before, after;  // what out.png holds around the picture
};

std::ostream& operator<<(std::ostream& out, const SharedOutputCase& c) { return out << c.what; }

class SharedOutput : public SaveKeeps, public ::testing::WithParamInterface<SharedOutputCase> {};

TEST_P(SharedOutput, KeepsWhatComesBeforeAndAfterThePicture) {
  const SharedOutputCase& c = GetParam();
  write_file(dir_.file("out.png"), "HEAD\n");
  options_.runner = {"sh", "-c", c.shell};
  const ToolResult result = run({"png", "pic.kla", c.destination});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("Saving...\nDone.\n", result.err);
  const std::string written = read_file(dir_.file("out.png")).value_or("");
  ASSERT_GE(written.size(), c.before.size() + c.after.size());
  EXPECT_EQ(c.before, written.substr(0, c.before.size()));
  EXPECT_EQ(c.after, written.substr(written.size() - c.after.size()));
  const std::string picture =
      written.substr(c.before.size(), written.size() - c.before.size() - c.after.size());
  EXPECT_EQ(320u, decode_png(picture).width);
  EXPECT_EQ((std::vector<std::string>{"out.png", "pic.kla"}), names());
}

INSTANTIATE_TEST_SUITE_P(
    Redirections, SharedOutput,
    ::testing::Values(
        SharedOutputCase{"appended", "exec \"$0\" \"$@\" >> out.png", "/dev/stdout", "HEAD\n",
                         ""},
        SharedOutputCase{"appended through /proc", "exec \"$0\" \"$@\" >> out.png",
                         "/proc/self/fd/1", "HEAD\n", ""},
        SharedOutputCase{"followed by the shell's output",
                         "{ \"$0\" \"$@\"; echo TRAILER; } > out.png", "/dev/stdout", "",
                         "TRAILER\n"}));

// A folder whose full path is longer than PATH_MAX, made and removed one
// level at a time through descriptors, as no path can reach its bottom.
class DeepFolder {
 public:
  DeepFolder(const std::string& top, int levels, const std::string& name) : name_(name) {
    fds_.push_back(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int level = 0; level < levels && fds_.back() >= 0; ++level) {
      if (::mkdirat(fds_.back(), name.c_str(), 0700) != 0) break;
      fds_.push_back(::openat(fds_.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
  }
  ~DeepFolder() {
    for (const std::string& entry : entries()) ::unlinkat(bottom(), entry.c_str(), 0);
    for (std::size_t level = fds_.size(); level-- > 0;) {
      if (level + 1 < fds_.size()) ::unlinkat(fds_[level], name_.c_str(), AT_REMOVEDIR);
      if (fds_[level] >= 0) ::close(fds_[level]);
    }
  }
  int bottom() const { return fds_.back(); }
  std::size_t levels() const { return fds_.size() - 1; }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    DIR* folder = ::fdopendir(::dup(bottom()));
    if (folder == nullptr) return names;
    while (const dirent* entry = ::readdir(folder))
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
        names.push_back(entry->d_name);
    ::closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string name_;
  std::vector<int> fds_;
};

TEST_F(SaveKeeps, AFolderDeeperThanPathMaxTakesTheSave) {
  const std::string level(200, 'd');
  constexpr int kLevels = PATH_MAX / 200 + 2;
  DeepFolder deep(dir_.path(), kLevels, level);
  ASSERT_EQ(static_cast<std::size_t>(kLevels), deep.levels());
  const std::string picture = read_file(dir_.file("pic.kla")).value_or("");
  const int fd = ::openat(deep.bottom(), "pic.kla", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(static_cast<ssize_t>(picture.size()), ::write(fd, picture.data(), picture.size()));
  ::close(fd);
  // The shell goes down one level at a time and starts the tool there.
  options_.environment["LEVEL"] = level;
  options_.environment["LEVELS"] = std::to_string(kLevels);
  options_.runner = {"sh", "-c",
                     "i=0; while [ $i -lt $LEVELS ]; do cd -P \"$LEVEL\" || exit 9; "
                     "i=$((i+1)); done; exec \"$0\" \"$@\""};
  const ToolResult result = run({"filter", "pic.kla", "out.kla"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ((std::vector<std::string>{"out.kla", "pic.kla"}), deep.entries());
  struct stat written {};
  EXPECT_EQ(0, ::fstatat(deep.bottom(), "out.kla", &written, 0));
  EXPECT_EQ(10003, written.st_size);
}

struct NameCase {
  std::string name;
  std::string shown;  // on a terminal
};

class NameOnATerminal : public SaveKeeps, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameOnATerminal, ShowsControlCharactersAsQuestionMarksOnATerminalOnly) {
  const NameCase& c = GetParam();
  const ToolResult piped = run({"filter", c.name + ".kla"});
  EXPECT_EQ("ERROR: File '" + c.name + ".kla' not found.", piped.err);
  options_.on_terminal = true;
  const ToolResult shown = run({"filter", c.name + ".kla"});
  EXPECT_EQ(1, shown.status);
  EXPECT_EQ(0u, shown.out.find("Destination file set to '" + c.shown + ".out.kla'.\r\n"
                               "ERROR: File '" + c.shown + ".kla' not found."))
      << shown.out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameOnATerminal,
    ::testing::Values(NameCase{"a\x1b]0;x\x07", "a?]0;x?"},          // C0: ESC and BEL
                      NameCase{"a\xC2\x9B" "2J\x7F", "a?2J?"},       // C1 CSI as UTF-8, DEL
                      NameCase{"a\x9B" "2J\x85", "a?2J?"},            // C1 as single bytes
                      // 絵€: continuation bytes from 0x80 to 0x9F are no C1 controls
                      NameCase{"\xE7\xB5\xB5\xE2\x82\xAC", "\xE7\xB5\xB5\xE2\x82\xAC"},
                      NameCase{"\xE9t\xE9", "\xE9t\xE9"}));            // Latin-1 bytes stay

}  // namespace
}  // namespace bitmosaic
#endif
