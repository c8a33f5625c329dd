// Runs the real bitmosaic binary as a subprocess and captures what it says.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "picture/koala_picture.h"

namespace bitmosaic::testing {

struct ToolResult {
  int status = -1;  // exit status, or -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

struct ToolOptions {
  std::string directory;  // working directory; empty keeps the current one
  std::optional<std::string> argv0;  // the invocation name; default the binary path
  // Variables to set (a value) or remove (nullopt). By default the child runs
  // with LC_ALL=C and without the "bitmosaic" variable.
  std::map<std::string, std::optional<std::string>> environment;
  // When set, files the child writes may not grow past this many bytes, even
  // for root. SIGXFSZ keeps its default action: the tool must deal with it.
  std::optional<long> file_size_limit;
  // When set, the child is ended by SIGXCPU (status -1, no core file) once it
  // has used this many seconds of processor time. POSIX systems only.
  std::optional<unsigned> cpu_limit_seconds;
  // Run without root's power over file permissions: a child started by root
  // becomes the unprivileged user "nobody" (exit status 125 if it cannot).
  bool without_privileges = false;
  // A run still going after this many seconds is killed (status -1).
  unsigned time_limit_seconds = 60;
  // Standard output goes to this file instead of the captured pipe (created
  // or truncated); "" starts the tool with standard output closed.
  std::optional<std::string> standard_output;
  // Standard output and error both go to a pseudo-terminal, whose output
  // run_tool returns as `out`.
  bool on_terminal = false;
  // A program and its arguments that run the tool, such as strace; the
  // tool's path and arguments follow them.
  std::vector<std::string> runner;
};

// Exit status of a child that could not give up root.
inline constexpr int kCouldNotDropPrivileges = 125;

ToolResult run_tool(const std::vector<std::string>& arguments,
                    const ToolOptions& options = {});

// Starts the tool with its output thrown away; wait_tool gives its exit
// status (-1 when it did not exit normally).
pid_t start_tool(const std::vector<std::string>& arguments,
                 const ToolOptions& options = {});
int wait_tool(pid_t child);
// The signal that ended the child, or 0 when it exited.
int wait_tool_signal(pid_t child);

std::string binary_path();
std::string source_dir();

// The usage that every error message is followed by on standard output.
std::string error_usage();

// A fresh temporary directory, removed again with everything in it when the
// object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
void write_picture(const std::string& path, const KoalaPicture& picture);
std::optional<std::string> read_file(const std::string& path);
std::optional<KoalaPicture> read_picture(const std::string& path);
// A TempDir that an unprivileged child may enter and write into.
void open_to_everyone(const std::string& directory);

}  // namespace bitmosaic::testing
