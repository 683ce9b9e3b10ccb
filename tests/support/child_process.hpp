// Starting, stopping and reading helper programs from Windows tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orvi::testing {

// The directory of the running test program, with a trailing backslash.
inline std::wstring own_directory() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

inline std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A child whose standard output is read through a pipe.
class child_process {
 public:
  // `command_line` is passed as is; the program is looked up beside the test.
  child_process(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE write_end = nullptr;
    // A large pipe, so a chatty child never waits on the reader.
    if (!CreatePipe(&read_end_, &write_end, &inherit, 1 << 20)) return;
    SetHandleInformation(read_end_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::wstring exe = own_directory() + program;
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      process_ = info.hProcess;
      CloseHandle(info.hThread);
    }
    CloseHandle(write_end);
  }
  ~child_process() {
    if (process_) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, INFINITE);
      CloseHandle(process_);
    }
    if (read_end_) CloseHandle(read_end_);
  }
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return process_ != nullptr; }

  void kill() {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, INFINITE);
  }

  // Waits for the end and returns the exit code.
  DWORD wait() {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
  }

  // Everything the child wrote; call after it ended.
  std::string output() {
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read_end_, buffer, sizeof(buffer), &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
  }

 private:
  HANDLE process_ = nullptr;
  HANDLE read_end_ = nullptr;
};

}  // namespace orvi::testing
