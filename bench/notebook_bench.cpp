// Time from process start to the first presented frame of quillory.exe (warm
// wineserver), and the CPU time of one notebook frame without the 16 ms pacing.
// Runs under Wine, from build/win64: wine bench/notebook_bench.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/window_path.hpp"
#include "host/message_pump.hpp"

namespace {

using namespace orvi;

struct window_search {
  DWORD process;
  HWND found;
};

HWND visible_window_of(DWORD process) {
  window_search s{process, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<window_search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s.process || !IsWindowVisible(window)) return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// The background colour at a client point means a frame reached the screen.
bool frame_presented(HWND window) {
  POINT p{5, 5};
  ClientToScreen(window, &p);
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return c == RGB(17, 27, 34);
}

double first_frame_ms(const std::wstring& exe, const std::wstring& data) {
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", data.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring command = L"\"" + exe + L"\"";
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  double elapsed = -1;
  HWND window = nullptr;
  for (int i = 0; i < 20000 && elapsed < 0; ++i) {
    if (!window) window = visible_window_of(info.dwProcessId);
    if (window && frame_presented(window)) {
      elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    } else {
      Sleep(1);
    }
  }
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return elapsed;
}

double thread_cpu_ms() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto to_ms = [](FILETIME t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
  };
  return to_ms(kernel) + to_ms(user);
}

}  // namespace

int main() {
  wchar_t self[MAX_PATH];
  const std::filesystem::path bin =
      std::filesystem::path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)))
          .parent_path()
          .parent_path();
  const std::filesystem::path data = std::filesystem::temp_directory_path() / "orvi-notebook-bench";
  std::filesystem::remove_all(data);

  std::vector<double> starts;
  for (int i = 0; i < 7; ++i)
    starts.push_back(first_frame_ms((bin / "app" / "quillory.exe").wstring(), data.wstring()));
  std::sort(starts.begin(), starts.end());
  std::printf("first presented frame: median %.1f ms (min %.1f, max %.1f, %zu runs)\n", starts[starts.size() / 2],
              starts.front(), starts.back(), starts.size());

  const auto u8 = data.generic_u8string();
  const text directory(u8.begin(), u8.end());
  auto store = open_notebook_store(directory);
  seed_notebook(*store);
  notebook_fields fields = initial_fields(*store);
  open_canvas_window();
  frame_loop_state state;
  for (int i = 0; i < 20; ++i) run_notebook_frame(*store, fields, directory, state);  // warm up
  constexpr int frames = 300;
  const double cpu_before = thread_cpu_ms();
  const auto wall_before = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) {
    pump_window_messages();
    run_notebook_frame(*store, fields, directory, state);
  }
  const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_before).count();
  std::printf("one frame without pacing: %.3f ms CPU, %.3f ms wall (%d frames)\n",
              (thread_cpu_ms() - cpu_before) / frames, wall / frames, frames);
  close_all_windows();
  std::filesystem::remove_all(data);
}
