// The progress line each command prints just before its effect, with the
// numbers exactly as the effect receives them.
#include "app/command_steps.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/pattern_picture.h"

namespace bitmosaic {
namespace {

using testing::cell_rectangle;
using testing::pattern_picture;

const Command& row(const char* keyword) {
  for (const Command& command : command_table())
    if (std::strcmp(command.keyword, keyword) == 0) return command;
  throw std::invalid_argument(keyword);
}

std::string progress_of(const char* keyword, const CommandSettings& settings) {
  const KoalaPicture source = pattern_picture(1);
  const KoalaPicture second = pattern_picture(2);
  KoalaPicture working = source;
  RunPictures pictures{source, 10003, second, working, {}};
  ::testing::internal::CaptureStdout();
  step_function(row(keyword).step)(settings, pictures);
  return ::testing::internal::GetCapturedStdout();
}

struct ProgressCase {
  const char* keyword;
  int x1, y1, x2, y2;
  std::string progress;
};

class Progress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, NamesTheNumbersTheEffectGets) {
  const ProgressCase& c = GetParam();
  EXPECT_EQ(c.progress, progress_of(c.keyword, cell_rectangle(c.x1, c.y1, c.x2, c.y2)));
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, Progress,
    ::testing::Values(ProgressCase{"del", 10, 5, 28, 10, "Deleting 10 5 28 10\n"},
                      ProgressCase{"del", 20, 0, 10, 24, "Deleting 20 0 10 24\n"},
                      ProgressCase{"crop", 39, 24, 39, 24, "Cropping 39 24 39 24\n"},
                      ProgressCase{"crop", 20, 0, 10, 24, "Cropping 20 0 10 24\n"},
                      ProgressCase{"replace", 0, 10, 39, 24, "Replacing (0/10)-(39/24)\n"},
                      ProgressCase{"replaceh", 28, 5, 10, 20, "Replacing (28/5)-(10/20)\n"},
                      ProgressCase{"insert", 1, 0, 39, 24, "Inserting 1 0 39 24\n"},
                      ProgressCase{"insertv", 0, 6, 39, 24, "Inserting 0 6 39 24\n"}));

TEST(Progress, DelvNamesItsLineRangeAndStep) {
  CommandSettings settings = cell_rectangle(0, 6, 0, 20);
  settings.step = 7;
  EXPECT_EQ("Deleting content from line 6 to 20 with step 7.\n", progress_of("delv", settings));
}

TEST(Progress, TheOtherCommandsPrintNothing) {
  CommandSettings settings;
  for (const char* keyword : {"filter", "mask", "imask", "merge", "merge+", "colcopy", "move"})
    EXPECT_EQ("", progress_of(keyword, settings)) << keyword;
}

}  // namespace
}  // namespace bitmosaic
