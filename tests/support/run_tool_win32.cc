// Running the tool on Windows: CreateProcessW with pipes for its output.
// The options that only POSIX systems have (a file size limit, dropping
// root, a pseudo-terminal, closed standard output, a runner program) are not
// offered here; the tests that need them skip themselves on Windows.
#include <windows.h>

#include <map>
#include <stdexcept>
#include <algorithm>

#include "picture/utf16_win32.h"
#include "support/run_tool.h"

namespace bitmosaic::testing {
namespace {

// A path the build gave in POSIX form (the tests run under wine, whose
// drive Z: is the root of the host's file system).
std::string windows_path(std::string path) {
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    text += c;
  }
  text.append(2 * backslashes, L'\\');
  return text + L"\"";
}

// The test's own environment with the changes run_tool promises.
std::wstring environment_block(const ToolOptions& options) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring text = entry;
    const std::size_t equals = text.find(L'=', 1);
    if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  FreeEnvironmentStringsW(strings);
  variables[L"LC_ALL"] = L"C";
  variables.erase(L"bitmosaic");
  for (const auto& [name, value] : options.environment) {
    if (value)
      variables[to_utf16(name)] = to_utf16(*value);
    else
      variables.erase(to_utf16(name));
  }
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  return block + L'\0';
}

// The null device, open for `access`, to be handed to a child.
HANDLE inheritable_null_device(DWORD access) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                     OPEN_EXISTING, 0, nullptr);
}

std::map<pid_t, HANDLE>& started() {
  static std::map<pid_t, HANDLE> processes;
  return processes;
}

pid_t create_tool(const std::vector<std::string>& arguments, const ToolOptions& options,
                  HANDLE out, HANDLE err) {
  if (options.file_size_limit || options.cpu_limit_seconds || options.without_privileges ||
      options.on_terminal || options.standard_output || !options.runner.empty())
    throw std::invalid_argument("this tool option needs a POSIX system");
  const std::wstring binary = to_utf16(windows_path(binary_path()));
  std::wstring command_line = quoted(options.argv0 ? to_utf16(*options.argv0) : binary);
  for (const std::string& argument : arguments) command_line += L" " + quoted(to_utf16(argument));
  std::wstring environment = environment_block(options);
  const std::wstring directory = to_utf16(options.directory);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable_null_device(GENERIC_READ);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessW(
      binary.c_str(), command_line.data(), nullptr, nullptr, TRUE,
      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
      directory.empty() ? nullptr : directory.c_str(), &startup, &process);
  CloseHandle(startup.hStdInput);
  if (!created) throw std::runtime_error("CreateProcessW failed: " + error_text(GetLastError()));
  CloseHandle(process.hThread);
  const pid_t id = static_cast<pid_t>(process.dwProcessId);
  started()[id] = process.hProcess;
  return id;
}

// Waits for the child within the time limit; its exit code, or -1 when it
// had to be ended.
int finish(pid_t child, unsigned time_limit_seconds) {
  const auto found = started().find(child);
  if (found == started().end()) return -1;
  HANDLE process = found->second;
  started().erase(found);
  int status = -1;
  if (WaitForSingleObject(process, time_limit_seconds * 1000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code)) status = static_cast<int>(code);
  } else {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
  }
  CloseHandle(process);
  return status;
}

// Reads what is waiting in `pipe`; false once its writers are all gone.
bool read_waiting(HANDLE pipe, std::string& sink) {
  DWORD waiting = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return false;
  while (waiting > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr) || got == 0)
      return false;
    sink.append(buffer, got);
    waiting -= got;
  }
  return true;
}

}  // namespace

std::string binary_path() { return BITMOSAIC_BINARY; }

ToolResult run_tool(const std::vector<std::string>& arguments, const ToolOptions& options) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  if (!CreatePipe(&out_read, &out_write, &inherited, 0) ||
      !CreatePipe(&err_read, &err_write, &inherited, 0))
    throw std::runtime_error("CreatePipe failed");
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  const pid_t child = create_tool(arguments, options, out_write, err_write);
  CloseHandle(out_write);
  CloseHandle(err_write);
  // The pipes are polled rather than read to their end: a program the tool
  // starts (an opener) may keep them open after the tool has exited, and
  // the time limit must hold all the same.
  ToolResult result;
  HANDLE process = started()[child];
  const ULONGLONG deadline = GetTickCount64() + 1000ull * options.time_limit_seconds;
  ULONGLONG exited_at = 0;
  for (bool out_open = true, err_open = true; out_open || err_open;) {
    out_open = out_open && read_waiting(out_read, result.out);
    err_open = err_open && read_waiting(err_read, result.err);
    const ULONGLONG now = GetTickCount64();
    if (exited_at == 0 && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) exited_at = now;
    if ((exited_at != 0 && now > exited_at + 1000) || now > deadline) break;
    Sleep(1);
  }
  CloseHandle(out_read);
  CloseHandle(err_read);
  result.status = finish(child, exited_at != 0 ? 1 : 0);
  return result;
}

pid_t start_tool(const std::vector<std::string>& arguments, const ToolOptions& options) {
  HANDLE quiet = inheritable_null_device(GENERIC_WRITE);
  const pid_t child = create_tool(arguments, options, quiet, quiet);
  CloseHandle(quiet);
  return child;
}

int wait_tool(pid_t child) { return finish(child, 60); }

int wait_tool_signal(pid_t child) {
  finish(child, 60);
  return 0;  // Windows ends processes without signals
}

}  // namespace bitmosaic::testing
