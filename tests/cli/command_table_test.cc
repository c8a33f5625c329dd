// Facts the driver derives from the rows, which a wrong row would break
// without any single command's test noticing.
#include "cli/command_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace bitmosaic {
namespace {

TEST(CommandTable, EveryKeywordIsOneRow) {
  std::set<std::string> keywords;
  for (const Command& command : command_table())
    EXPECT_TRUE(keywords.insert(command.keyword).second) << command.keyword;
  EXPECT_EQ(25u, keywords.size());
}

TEST(CommandTable, ACommandNamesADefaultDestinationExactlyWhenItWrites) {
  for (const Command& command : command_table()) {
    const bool writes = command.output != Output::nothing;
    // A file of another format is named after the format, which the run chooses.
    const bool names_by_format = command.output == Output::format_file;
    EXPECT_EQ(writes && !names_by_format, command.default_suffix != nullptr) << command.keyword;
    // What a command writes is what it started from or built.
    if (writes && !names_by_format) {
      EXPECT_NE(Start::nothing, command.start) << command.keyword;
    }
    // A command that neither changes nor prints anything would do nothing.
    if (command.step == Step::none) {
      EXPECT_TRUE(writes) << command.keyword;
    }
  }
}

TEST(CommandTable, OnlyTheMovesStartFromNothingButZeros) {
  for (const Command& command : command_table()) {
    const bool moves = std::strncmp(command.keyword, "move", 4) == 0;
    EXPECT_EQ(moves, command.start == Start::all_zeros) << command.keyword;
  }
}

}  // namespace
}  // namespace bitmosaic
