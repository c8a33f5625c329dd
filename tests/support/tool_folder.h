// A test whose runs of the tool happen in a folder of its own, removed with
// everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.h"

namespace bitmosaic::testing {

class ToolFolderTest : public ::testing::Test {
 protected:
  ToolFolderTest() { options_.directory = dir_.path(); }

  ToolResult run(const std::vector<std::string>& arguments) const {
    return run_tool(arguments, options_);
  }

  // The names in the folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
  }

  TempDir dir_;
  ToolOptions options_;
};

}  // namespace bitmosaic::testing
