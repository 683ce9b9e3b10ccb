#include "host/pointer_lock.hpp"

#include "host/host_runtime.hpp"
#include "host/platform.hpp"

namespace orvi {
namespace {

bool is_lock_window(HWND window) { return window != nullptr && window == get_host_runtime().pointer_lock_window; }

bool is_foreground(HWND window) { return platform().get_foreground_window() == window; }

}  // namespace

bool clip_cursor_to_client(HWND window) {
  if (window == nullptr) return false;
  RECT client;
  if (!GetClientRect(window, &client)) return false;
  if (client.right <= client.left || client.bottom <= client.top) return false;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return ClipCursor(&client) != FALSE;
}

void update_locked_cursor_shape(HWND window) {
  if (!is_lock_window(window) || !is_foreground(window)) return;
  POINT cursor;
  RECT client;
  if (!GetCursorPos(&cursor) || !ScreenToClient(window, &cursor) || !GetClientRect(window, &client)) return;
  if (!PtInRect(&client, cursor)) return;
  const auto& runtime = get_host_runtime();
  const bool arrow = runtime.relative_mode == 0 && runtime.cursor_visible != 0;
  SetCursor(arrow ? LoadCursorA(nullptr, IDC_ARROW) : nullptr);
}

void reapply_cursor_clip(HWND window) {
  if (!is_lock_window(window)) return;
  auto& runtime = get_host_runtime();
  if (runtime.confinement_requested == 1 && is_foreground(window) && clip_cursor_to_client(window)) {
    runtime.relative_mode = 1;
    runtime.raw_delta = 0;
    update_locked_cursor_shape(window);
    return;
  }
  runtime.relative_mode = 0;
}

void release_cursor_clip(HWND window) {
  if (!is_lock_window(window)) return;
  auto& runtime = get_host_runtime();
  runtime.relative_mode = 0;
  runtime.raw_delta = 0;
  ClipCursor(nullptr);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void release_pointer_lock(HWND window) {
  if (!is_lock_window(window)) return;
  auto& runtime = get_host_runtime();
  release_cursor_clip(window);
  if (runtime.raw_mouse_registered) {
    RAWINPUTDEVICE device{};
    device.usUsagePage = 1;
    device.usUsage = 2;
    device.dwFlags = RIDEV_REMOVE;
    device.hwndTarget = nullptr;
    RegisterRawInputDevices(&device, 1, sizeof(device));
    runtime.raw_mouse_registered = 0;
  }
  runtime.pointer_lock_window = nullptr;
  runtime.confinement_requested = 0;
  runtime.cursor_visible = 1;
}

}  // namespace orvi
