// Helper programs of Windows tests: started from the test program's
// directory with this process's environment, their output read through pipes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace orvi::testing {

inline std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class child_process {
 public:
  // `program` is relative to the test's directory; an empty `directory` keeps the current one.
  child_process(const std::wstring& program, const std::wstring& arguments, const std::wstring& directory = L"") {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out_write = nullptr, err_write = nullptr;
    // Large pipes, so a chatty child never waits on the reader.
    if (!CreatePipe(&out_, &out_write, &inherit, 1 << 20) || !CreatePipe(&err_, &err_write, &inherit, 1 << 16)) return;
    for (HANDLE own_end : {out_, err_}) SetHandleInformation(own_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    wchar_t own[MAX_PATH];
    std::wstring exe(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + program;
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
      process_ = info.hProcess;
      id_ = info.dwProcessId;
      CloseHandle(info.hThread);
    }
    CloseHandle(out_write);
    CloseHandle(err_write);
  }
  ~child_process() {
    if (process_) kill(), CloseHandle(process_);
    for (HANDLE pipe : {out_, err_})
      if (pipe) CloseHandle(pipe);
  }
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return process_ != nullptr; }

  // The child's visible top-level window of this class, or null after `timeout_ms`.
  HWND wait_for_window(const wchar_t* class_name, DWORD timeout_ms = 20000) const {
    for (const ULONGLONG deadline = GetTickCount64() + timeout_ms; GetTickCount64() < deadline; Sleep(10)) {
      for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, class_name, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == id_ && IsWindowVisible(window)) return window;
      }
    }
    return nullptr;
  }

  void kill() {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, INFINITE);
  }

  // The exit code once the child ended; STILL_ACTIVE when it still ran after
  // `timeout_ms` (it is then stopped). With `pump`, this thread's window
  // messages are answered meanwhile.
  DWORD wait(DWORD timeout_ms = 60000, bool pump = false) {
    for (const ULONGLONG deadline = GetTickCount64() + timeout_ms;;) {
      const DWORD left = static_cast<DWORD>(std::max<LONGLONG>(0, deadline - GetTickCount64()));
      if (MsgWaitForMultipleObjects(1, &process_, FALSE, left, pump ? QS_ALLINPUT : 0) == WAIT_OBJECT_0) break;
      if (left == 0) return kill(), STILL_ACTIVE;
      for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
  }

  // Everything the child wrote to standard output or error; call after it ended.
  std::string output() { return drain(out_); }
  std::string errors() { return drain(err_); }

 private:
  static std::string drain(HANDLE pipe) {
    std::string out;
    char buffer[4096];
    for (DWORD got = 0; ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) && got > 0;) out.append(buffer, got);
    return out;
  }

  HANDLE process_ = nullptr, out_ = nullptr, err_ = nullptr;
  DWORD id_ = 0;
};

}  // namespace orvi::testing
