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

// A child whose standard output and error are read through pipes. It inherits
// this process's environment.
class child_process {
 public:
  // `program` is relative to the test's directory; `arguments` pass as is;
  // an empty `directory` keeps the current one.
  child_process(const std::wstring& program, const std::wstring& arguments, const std::wstring& directory = L"") {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out_write = nullptr;
    HANDLE err_write = nullptr;
    // Large pipes, so a chatty child never waits on the reader.
    if (!CreatePipe(&out_read_, &out_write, &inherit, 1 << 20)) return;
    if (!CreatePipe(&err_read_, &err_write, &inherit, 1 << 16)) return;
    SetHandleInformation(out_read_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::wstring exe = own_directory() + program;
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
      process_ = info.hProcess;
      process_id_ = info.dwProcessId;
      CloseHandle(info.hThread);
    }
    CloseHandle(out_write);
    CloseHandle(err_write);
  }
  ~child_process() {
    if (process_) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, INFINITE);
      CloseHandle(process_);
    }
    if (out_read_) CloseHandle(out_read_);
    if (err_read_) CloseHandle(err_read_);
  }
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD process_id() const { return process_id_; }

  // The child's visible top-level window of this class, or null after
  // `timeout_ms`.
  HWND wait_for_window(const wchar_t* class_name, DWORD timeout_ms = 20000) const {
    struct search {
      DWORD process;
      const wchar_t* class_name;
      HWND found;
    } s{process_id_, class_name, nullptr};
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!s.found && GetTickCount64() < deadline) {
      EnumWindows(
          [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[128];
            if (owner == s.process && IsWindowVisible(window) && GetClassNameW(window, name, 128) &&
                std::wstring(name) == s.class_name) {
              s.found = window;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&s));
      if (!s.found) Sleep(10);
    }
    return s.found;
  }

  void kill() {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, INFINITE);
  }

  // Waits for the end and returns the exit code; STILL_ACTIVE when the child
  // is still running after `timeout_ms` (it is then stopped).
  DWORD wait(DWORD timeout_ms = 60000) {
    if (WaitForSingleObject(process_, timeout_ms) == WAIT_TIMEOUT) {
      kill();
      return STILL_ACTIVE;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
  }

  // Everything the child wrote to standard output or error; call after it ended.
  std::string output() { return drain(out_read_); }
  std::string errors() { return drain(err_read_); }

 private:
  static std::string drain(HANDLE pipe) {
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
  }

  HANDLE process_ = nullptr;
  DWORD process_id_ = 0;
  HANDLE out_read_ = nullptr;
  HANDLE err_read_ = nullptr;
};

}  // namespace orvi::testing
