// The run driver through the real binary: destination naming, loading and
// size checks, and opening the result.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/pattern_picture.h"
#include "support/platform.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"

namespace bitmosaic {
namespace {

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

class DriverRun : public testing::ToolFolderTest {
 protected:
  void SetUp() override {
    write_picture(dir_.file("pic.kla"), source_);
    write_picture(dir_.file("two.kla"), pattern_picture(3));
  }
  const KoalaPicture source_ = pattern_picture(1);
};

TEST_F(DriverRun, NamesTheDestinationAndWritesIt) {
  const ToolResult result = run({"crop", "0", "pic.kla"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Destination file set to 'pic.out.kla'.\nCropping 0 0 39 24\nSaving...\nDone.\n",
            result.out);
  EXPECT_EQ("", result.err);
  const auto written = read_picture(dir_.file("pic.out.kla"));
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ("", testing::differences(source_, *written));
}

TEST_F(DriverRun, ANamedDestinationIsUsedWithoutAnnouncement) {
  const ToolResult result = run({"crop", "0", "pic.kla", "-r", "named.kla"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Cropping 0 0 39 24\nSaving...\nDone.\n", result.out);
  EXPECT_TRUE(read_picture(dir_.file("named.kla")).has_value());
  EXPECT_FALSE(std::filesystem::exists(dir_.file("pic.out.kla")));
}

TEST_F(DriverRun, MissingSecondPictureIsNamedAsSuch) {
  const ToolResult result = run({"merge", "pic.kla"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: File '<pic2>' not found.", result.err);
  EXPECT_EQ("Destination file set to 'pic.out.kla'.\n" + error_usage(), result.out);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("pic.out.kla")));
}

struct SizeCase {
  const char* which;  // "source" or "second"
  std::size_t size;
};

class WrongSize : public DriverRun, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(WrongSize, IsReportedWithTheFileNameAndItsSize) {
  const SizeCase& c = GetParam();
  write_file(dir_.file("odd.kla"), std::string(c.size, '\x11'));
  const bool second = std::string(c.which) == "second";
  const ToolResult result = second ? run({"merge", "pic.kla", "odd.kla", "out.kla"})
                                   : run({"merge", "odd.kla", "pic.kla", "out.kla"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("ERROR: Wrong filesize for 'odd.kla' (" + std::to_string(c.size) + ").",
            result.err);
  EXPECT_EQ(error_usage(), result.out);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out.kla")));
}

INSTANTIATE_TEST_SUITE_P(Sizes, WrongSize,
                         ::testing::Values(SizeCase{"source", 0}, SizeCase{"source", 10002},
                                           SizeCase{"source", 10004},
                                           SizeCase{"second", 10002},
                                           SizeCase{"second", 20006}));

TEST_F(DriverRun, InfoWritesNothingAndNamesNoDestination) {
  const ToolResult result = run({"info", "pic.kla"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(0u, result.out.find("Info:\n"));
  EXPECT_EQ(std::string::npos, result.out.find("Destination"));
  EXPECT_EQ(std::string::npos, result.out.find("Saving"));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("pic.out.kla")));
}

// A stand-in for the desktop opener that records the arguments it was given.
class OpenerRun : public DriverRun {
 protected:
  void SetUp() override {
    SKIP_ON_WINDOWS("a shell script as the desktop's opener");
    DriverRun::SetUp();
    std::filesystem::create_directory(dir_.file("bin"));
    const std::string stub = dir_.file("bin/xdg-open");
    write_file(stub, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> '" +
                         dir_.file("opened") + "'\n");
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    options_.environment["PATH"] = dir_.file("bin") + ":/usr/bin:/bin";
  }
  std::string opened() { return read_file(dir_.file("opened")).value_or("(never)"); }
};

TEST_F(OpenerRun, DashROpensTheDestination) {
  const ToolResult result = run({"filter", "pic.kla", "-r"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("[pic.out.kla]\n", opened());
}

TEST_F(OpenerRun, TheEnvironmentVariableOpensEvenWhenEmpty) {
  options_.environment["bitmosaic"] = "";
  const ToolResult result = run({"filter", "pic.kla", "out.kla"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("[out.kla]\n", opened());
}

TEST_F(OpenerRun, WithoutEitherNothingIsOpened) {
  EXPECT_EQ(0, run({"filter", "pic.kla"}).status);
  EXPECT_EQ("(never)", opened());
}

TEST_F(OpenerRun, InfoNeverOpensAnything) {
  options_.environment["bitmosaic"] = "1";
  const ToolResult result = run({"info", "pic.kla", "named.kla", "-r"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("(never)", opened());
  EXPECT_FALSE(std::filesystem::exists(dir_.file("named.kla")));
}

TEST_F(OpenerRun, AnyFileNameReachesTheOpenerUnchanged) {
  for (const char* name :
       {"a b.kla", "it's \"q\".kla", "x;touch pwned;.kla", "$(touch pwned).kla",
        "`touch pwned`.kla"}) {
    std::filesystem::remove(dir_.file("opened"));
    const ToolResult result = run({"filter", "pic.kla", name, "-r"});
    EXPECT_EQ(0, result.status) << name;
    EXPECT_EQ("[" + std::string(name) + "]\n", opened());
    EXPECT_TRUE(read_picture(dir_.file(name)).has_value()) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.file("pwned")));
}

TEST_F(OpenerRun, ANameStartingWithADashReachesTheOpenerAsAPath) {
  const ToolResult result = run({"filter", "pic.kla", "-r", "--", "-rf.kla"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("[./-rf.kla]\n", opened());
  EXPECT_TRUE(read_picture(dir_.file("-rf.kla")).has_value());
}

TEST_F(OpenerRun, AnOpenerThatFailsIsAWarningNotAFailure) {
  write_file(dir_.file("bin/xdg-open"), "#!/bin/sh\nexit 3\n");
  const ToolResult result = run({"filter", "pic.kla", "out.kla", "-r"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Saving...\nDone.\n", result.out);
  EXPECT_EQ("WARNING: Could not open 'out.kla'.\n", result.err);
  EXPECT_TRUE(read_picture(dir_.file("out.kla")).has_value());
}

TEST_F(OpenerRun, AMissingOpenerIsAWarningNotAFailure) {
  options_.environment["PATH"] = dir_.file("nowhere");
  const ToolResult result = run({"filter", "pic.kla", "-r"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("Destination file set to 'pic.out.kla'.\nSaving...\nDone.\n", result.out);
  EXPECT_EQ("WARNING: Could not open 'pic.out.kla'.\n", result.err);
  EXPECT_TRUE(read_picture(dir_.file("pic.out.kla")).has_value());
}

}  // namespace
}  // namespace bitmosaic
