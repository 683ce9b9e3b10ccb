#include "host/window_proc.hpp"

#include "host/accessibility.hpp"
#include "host/clipboard.hpp"
#include "host/host_runtime.hpp"
#include "host/pointer_lock.hpp"

#include <wtsapi32.h>

namespace orvi {
namespace {

LRESULT on_destroy(HWND handle, canvas_window* window) {
  if (window == nullptr) return 0;
  release_pointer_lock(handle);
  clear_accessibility_for_window(window->id);
  release_delayed_clipboard_on_destroy(handle);
  WTSUnRegisterSessionNotification(handle);
  window->open = 0;
  window->shown = 0;
  window->focused = 0;
  window->window = nullptr;
  stamp_window_event(*window, 0);
  return 0;
}

}  // namespace

// Messages of the lifecycle, the clipboard and the accessibility entry; input,
// focus, sizing and the rest go to the default handling for now.
LRESULT CALLBACK canvas_window_proc(HWND handle, UINT message, WPARAM first, LPARAM second) {
  canvas_window* window = find_canvas_window_by_handle(handle);
  switch (message) {
    case WM_DESTROY:
      return on_destroy(handle, window);
    case WM_GETOBJECT:
      return handle_accessibility_request(handle, window != nullptr ? window->id : 0, first);
    case WM_RENDERFORMAT:
      render_delayed_clipboard_format(static_cast<UINT>(first));
      return 0;
    case WM_RENDERALLFORMATS:
      render_all_delayed_clipboard(handle);
      return 0;
    case WM_DESTROYCLIPBOARD:
      release_delayed_clipboard_on_empty(handle);
      return 0;
    default:
      return DefWindowProcW(handle, message, first, second);
  }
}

}  // namespace orvi
