// Real canvas windows for tests under Wine, opened the way the program's
// opener does: shown, registered as the main and current window.
#pragma once

#include "host/canvas_window.hpp"
#include "host/fonts.hpp"
#include "host/host_runtime.hpp"
#include "host/message_pump.hpp"
#include "host/pixel_format.hpp"
#include "host/window_classes.hpp"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace orvi::testing {

enum class test_gl { none, strict_srgb, legacy };

// Closes every window while the program still runs. Left to the exit, Wine
// tears the GL contexts and windows down while ending the process, and under
// load a test that had passed was killed there.
inline void close_test_windows() {
  std::vector<std::uint32_t> ids;
  for (const auto& entry : get_host_runtime().registry) ids.push_back(entry.first);
  for (const std::uint32_t id : ids) close_canvas_window(id);
}

// Without GL; or with a GL context (strict sRGB when the probe finds it, else
// the legacy format) and ten fonts. Throws on failure.
inline canvas_window& open_test_window(int width = 320, int height = 240, test_gl gl = test_gl::none) {
  register_canvas_window_classes();
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
  auto window = make_canvas_window();
  window->window = CreateWindowExW(WS_EX_APPWINDOW, canvas_window_class_name, L"host test", WS_OVERLAPPEDWINDOW, 40, 40,
                                   outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
  window->client_width = static_cast<std::uint32_t>(width);
  window->client_height = static_cast<std::uint32_t>(height);
  if (!window->window) throw std::runtime_error("CreateWindowExW failed");
  HDC dc = window->device_context = gl == test_gl::none ? nullptr : GetDC(window->window);
  if (dc) {
    PIXELFORMATDESCRIPTOR descriptor = legacy_pixel_format_descriptor(32);
    const int strict = gl == test_gl::strict_srgb ? choose_srgb_pixel_format(dc) : 0;
    if (strict > 0) DescribePixelFormat(dc, strict, sizeof(descriptor), &descriptor);
    if (!SetPixelFormat(dc, strict > 0 ? strict : ChoosePixelFormat(dc, &descriptor), &descriptor) ||
        !(window->gl_context = wglCreateContext(dc)) || !wglMakeCurrent(dc, window->gl_context))
      throw std::runtime_error("no GL context");
    const srgb_confirmation confirmed = strict > 0 ? confirm_srgb_pipeline(dc, strict) : srgb_confirmation{};
    window->strict_srgb_format = confirmed.strict_srgb_format;
    window->srgb_pipeline = confirmed.srgb_pipeline;
    build_window_fonts(*window);
  }
  HWND handle = window->window;
  window->open = window->shown = 1;
  const std::uint32_t id = register_canvas_window(std::move(window));
  static const bool closed_at_exit = std::atexit(close_test_windows) == 0;
  (void)closed_at_exit;
  ShowWindow(handle, SW_SHOW);
  UpdateWindow(handle);
  pump_window_messages();
  return *find_canvas_window(id);
}

}  // namespace orvi::testing
