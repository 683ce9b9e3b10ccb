#include "tests/host/test_window.hpp"

#include "host/fonts.hpp"
#include "host/host_runtime.hpp"
#include "host/message_pump.hpp"
#include "host/pixel_format.hpp"
#include "host/window_classes.hpp"

#include <stdexcept>

namespace orvi::testing {
namespace {

HWND create_canvas_hwnd(int client_width, int client_height) {
  register_canvas_window_classes();
  RECT outer{0, 0, client_width, client_height};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, canvas_window_class_name, L"host test", WS_OVERLAPPEDWINDOW, 40, 40,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) throw std::runtime_error("CreateWindowExW failed");
  return window;
}

canvas_window& register_and_show(std::unique_ptr<canvas_window> window) {
  HWND handle = window->window;
  window->open = 1;
  window->shown = 1;
  const std::uint32_t id = register_canvas_window(std::move(window));
  ShowWindow(handle, SW_SHOW);
  UpdateWindow(handle);
  pump_window_messages();
  return *find_canvas_window(id);
}

}  // namespace

canvas_window& open_gl_test_window(int client_width, int client_height, bool strict_srgb) {
  HWND handle = create_canvas_hwnd(client_width, client_height);
  HDC dc = GetDC(handle);
  if (dc == nullptr) throw std::runtime_error("GetDC failed");

  PIXELFORMATDESCRIPTOR descriptor = legacy_pixel_format_descriptor(32);
  const int strict_format = strict_srgb ? choose_srgb_pixel_format(dc) : 0;
  const int format = strict_format > 0 ? strict_format : ChoosePixelFormat(dc, &descriptor);
  if (strict_format > 0) DescribePixelFormat(dc, strict_format, sizeof(descriptor), &descriptor);
  if (format == 0 || !SetPixelFormat(dc, format, &descriptor)) throw std::runtime_error("SetPixelFormat failed");
  HGLRC context = wglCreateContext(dc);
  if (context == nullptr || !wglMakeCurrent(dc, context)) throw std::runtime_error("no GL context");

  auto window = make_canvas_window();
  window->window = handle;
  window->device_context = dc;
  window->gl_context = context;
  if (strict_format > 0) {
    const srgb_confirmation confirmed = confirm_srgb_pipeline(dc, strict_format);
    window->strict_srgb_format = confirmed.strict_srgb_format ? 1 : 0;
    window->srgb_pipeline = confirmed.srgb_pipeline ? 1 : 0;
  }
  build_window_fonts(*window);
  window->client_width = static_cast<std::uint32_t>(client_width);
  window->client_height = static_cast<std::uint32_t>(client_height);
  return register_and_show(std::move(window));
}

canvas_window& open_plain_test_window() {
  auto window = make_canvas_window();
  window->window = create_canvas_hwnd(320, 240);
  window->client_width = 320;
  window->client_height = 240;
  return register_and_show(std::move(window));
}

}  // namespace orvi::testing
