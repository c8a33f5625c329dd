#include "support/in_process_run.h"

#include <cstdio>

#include "app/run.h"
#include "cli/fatal.h"

namespace bitmosaic::testing {
namespace {

struct RunEnded {
  int status;
};

[[noreturn]] void throw_run_ended(int status) { throw RunEnded{status}; }

}  // namespace

int run_in_process(const std::vector<std::string>& arguments) {
  std::vector<std::string> words{"bitmosaic"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  set_run_ender(throw_run_ended);
  int status = 0;
  try {
    status = run_bitmosaic(static_cast<int>(words.size()), argv.data());
  } catch (const RunEnded& ended) {
    status = ended.status;
  }
  set_run_ender(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}

}  // namespace bitmosaic::testing
