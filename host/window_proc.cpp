#include "host/window_proc.hpp"

#include "host/accessibility.hpp"
#include "host/background.hpp"
#include "host/clipboard.hpp"
#include "host/host_runtime.hpp"
#include "host/input_intake.hpp"
#include "host/platform.hpp"
#include "host/pointer_lock.hpp"
#include "host/window_chrome.hpp"
#include "host/window_state.hpp"

#include <shellapi.h>
#include <wtsapi32.h>

#include <optional>

namespace orvi {
namespace {

constexpr WPARAM power_suspend = 4;       // PBT_APMSUSPEND
constexpr WPARAM power_resume = 7;        // PBT_APMRESUMESUSPEND
constexpr WPARAM power_auto_resume = 18;  // PBT_APMRESUMEAUTOMATIC
constexpr WPARAM session_logon = 5;       // WTS_SESSION_LOGON
constexpr WPARAM session_logoff = 6;      // WTS_SESSION_LOGOFF
constexpr WPARAM session_lock = 7;        // WTS_SESSION_LOCK
constexpr WPARAM session_unlock = 8;      // WTS_SESSION_UNLOCK
constexpr WPARAM no_character = 0xFFFF;   // UNICODE_NOCHAR

bool is_lock_window(HWND handle) { return handle == get_host_runtime().pointer_lock_window; }

std::uint16_t low_word(LPARAM value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
std::uint16_t high_word(LPARAM value) { return static_cast<std::uint16_t>((value >> 16) & 0xFFFF); }

void mouse_event(canvas_window& window, std::uint64_t code, WPARAM first, LPARAM second) {
  handle_pointer_event(window, code, 1, 1, first, second, -1, false);
}

LRESULT on_destroy(HWND handle, canvas_window& window) {
  release_pointer_lock(handle);
  clear_accessibility_for_window(window.id);
  release_delayed_clipboard_on_destroy(handle);
  WTSUnRegisterSessionNotification(handle);
  window.open = 0;
  window.shown = 0;
  window.focused = 0;
  window.window = nullptr;
  stamp_window_event(window, 0);
  return 0;
}

LRESULT on_move(HWND handle, canvas_window& window, LPARAM second) {
  window.client_x = static_cast<std::int16_t>(low_word(second));
  window.client_y = static_cast<std::int16_t>(high_word(second));
  update_window_dpi_and_monitor(window);
  stamp_window_event(window, 0);
  if (is_lock_window(handle) && get_host_runtime().relative_mode != 0) clip_cursor_to_client(handle);
  return 0;
}

LRESULT on_size(HWND handle, canvas_window& window, WPARAM first, LPARAM second) {
  if (window.window != handle) return 0;
  window.client_width = low_word(second) != 0 ? low_word(second) : 1;
  window.client_height = high_word(second) != 0 ? high_word(second) : 1;
  window.minimized = first == SIZE_MINIMIZED ? 1 : 0;
  update_window_dpi_and_monitor(window);
  stamp_window_event(window, 0);
  clear_window_background(window);
  if (is_lock_window(handle)) {
    if (window.minimized != 0) {
      release_cursor_clip(handle);
    } else if (window.focused != 0 && get_host_runtime().confinement_requested != 0) {
      reapply_cursor_clip(handle);
    }
  }
  return 0;
}

LRESULT on_set_focus(HWND handle, canvas_window& window) {
  window.focused = 1;
  stamp_window_event(window, 0);
  if (is_lock_window(handle)) {
    if (get_host_runtime().confinement_requested == 0) {
      update_locked_cursor_shape(handle);
    } else if (window.minimized == 0) {
      reapply_cursor_clip(handle);
    } else {
      update_locked_cursor_shape(handle);
    }
  }
  return 0;
}

LRESULT on_kill_focus(HWND handle, canvas_window& window) {
  window.focused = 0;
  window.key_presses.fill(0);
  release_cursor_clip(handle);
  if (window.preedit_active != 0) end_preedit(window);
  stamp_window_event(window, 0);
  return 0;
}

LRESULT on_close(HWND handle, canvas_window& window) {
  window.key_presses.fill(0);
  release_cursor_clip(handle);
  window.close_requested = 1;
  window.open = 0;
  stamp_window_event(window, 0);
  // Hidden, not destroyed: the program closes it through the registry.
  platform().show_window(handle, SW_HIDE);
  return 0;
}

bool power_active(WPARAM event, bool focused) {
  if (event == power_suspend) return false;
  return event == power_resume || event == power_auto_resume || focused;
}

bool session_active(WPARAM event, bool focused) {
  if (event == session_logoff || event == session_lock) return false;
  return event == session_logon || event == session_unlock || focused;
}

// Messages whose handling is the same with or without a registered window
// (apart from the window id and focus they record). Empty when not one of them.
std::optional<LRESULT> shared_message(canvas_window* window, HWND handle, UINT message, WPARAM first, LPARAM second) {
  const std::uint32_t id = window != nullptr ? window->id : 0;
  const bool focused = window != nullptr && window->focused != 0;
  switch (message) {
    case WM_QUERYENDSESSION:
      record_lifecycle_event(lifecycle_query_end_session, static_cast<std::uint64_t>(second), id, false);
      return 1;
    case WM_ENDSESSION:
      record_lifecycle_event(lifecycle_end_session, first, id, first == 0);
      return 0;
    case WM_ACTIVATEAPP:
      record_lifecycle_event(lifecycle_app_activation, first, id, first != 0);
      return 0;
    case WM_POWERBROADCAST:
      record_lifecycle_event(lifecycle_power, first, id, power_active(first, focused));
      return 1;
    case WM_WTSSESSION_CHANGE:
      record_lifecycle_event(lifecycle_session_change, first, id, session_active(first, focused));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETOBJECT:
      return handle_accessibility_request(handle, id, first);
    case WM_SETCURSOR:
      if (set_canvas_cursor(window, handle, second)) return 1;
      return DefWindowProcW(handle, message, first, second);
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
      return std::nullopt;
  }
}

LRESULT unregistered_message(HWND handle, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_DESTROY:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CLOSE:
    case WM_SHOWWINDOW:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_MOUSEWHEEL:
    case WM_CAPTURECHANGED:
    case WM_DROPFILES:
    case WM_TOUCH:
    case WM_POINTERUPDATE:
    case WM_POINTERDOWN:
    case WM_POINTERUP:
    case WM_IME_CHAR:
      return 0;
    case WM_UNICHAR:
      return first == no_character ? 1 : 0;
    default:
      return DefWindowProcW(handle, message, first, second);
  }
}

LRESULT registered_message(canvas_window& window, HWND handle, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_DESTROY:
      return on_destroy(handle, window);
    case WM_MOVE:
      return on_move(handle, window, second);
    case WM_SIZE:
      return on_size(handle, window, first, second);
    case WM_SETFOCUS:
      return on_set_focus(handle, window);
    case WM_KILLFOCUS:
      return on_kill_focus(handle, window);
    case WM_CLOSE:
      return on_close(handle, window);
    case WM_SHOWWINDOW:
      window.shown = first != 0 ? 1 : 0;
      stamp_window_event(window, 0);
      return 0;
    case WM_CANCELMODE:
      mouse_event(window, event_pointer_cancelled, first, second);
      return DefWindowProcW(handle, message, first, second);
    case WM_NCHITTEST:
      if (window.client_chrome == 0) return DefWindowProcW(handle, message, first, second);
      return chrome_hit_test(window, handle, first, second);
    case WM_INPUT:
      if (is_lock_window(handle) && get_host_runtime().relative_mode != 0) {
        handle_raw_input(reinterpret_cast<HRAWINPUT>(second));
      }
      return DefWindowProcW(handle, message, first, second);
    // System keys are consumed too, so the menu key and Alt+F4 do nothing.
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      handle_key_event(window, first, second, true);
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      handle_key_event(window, first, second, false);
      return 0;
    // The whole parameter goes on: cut to 32 bits, 0x100000041 would type "A".
    case WM_CHAR:
    case WM_IME_CHAR:
      handle_char_input(window, first);
      return 0;
    case WM_UNICHAR:
      if (first == no_character) return 1;
      window.pending_high_surrogate = 0;
      append_text_input(window, first);
      return 0;
    case WM_IME_STARTCOMPOSITION:
      begin_preedit(window);
      place_ime_windows(window);
      return 0;
    case WM_IME_ENDCOMPOSITION:
      end_preedit(window);
      return 0;
    case WM_IME_COMPOSITION:
      if (handle_ime_composition(window, second)) return 0;
      return DefWindowProcW(handle, message, first, second);
    case WM_MOUSEMOVE:
      mouse_event(window, event_pointer_move, first, second);
      if (window.resize_drag == 0) return DefWindowProcW(handle, message, first, second);
      resize_drag_step(window);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
      const bool down = message == WM_LBUTTONDOWN;
      const std::uint64_t seen = window.last_press.sequence;
      mouse_event(window, down ? event_pointer_press : event_pointer_release, first, second);
      if (window.last_press.sequence != seen) window.last_left_press = window.last_press;
      if (window.client_chrome != 0) {
        const auto handled = down ? chrome_button_down(window, second) : chrome_button_up(window, second);
        if (handled) return *handled;
      }
      return DefWindowProcW(handle, message, first, second);
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      mouse_event(window, message == WM_RBUTTONDOWN ? event_pointer_press : event_pointer_release, first, second);
      return DefWindowProcW(handle, message, first, second);
    case WM_MOUSEWHEEL:
      handle_pointer_event(window, event_wheel, 1, 1, first, second, -1, true);
      return 0;
    case WM_CAPTURECHANGED:
      window.resize_drag = 0;
      window.drag_edge = 0;
      mouse_event(window, event_capture_lost, first, second);
      return 0;
    case WM_DROPFILES:
      handle_dropped_files(window, reinterpret_cast<HDROP>(first));
      return 0;
    case WM_TOUCH:
      handle_touch_message(window, first, second);
      return 0;
    case WM_POINTERUPDATE:
    case WM_POINTERDOWN:
    case WM_POINTERUP:
      handle_pointer_message(window, message, first, second);
      return 0;
    default:
      return DefWindowProcW(handle, message, first, second);
  }
}

}  // namespace

LRESULT CALLBACK canvas_window_proc(HWND handle, UINT message, WPARAM first, LPARAM second) {
  canvas_window* window = find_canvas_window_by_handle(handle);
  if (auto shared = shared_message(window, handle, message, first, second)) return *shared;
  if (window == nullptr) return unregistered_message(handle, message, first, second);
  return registered_message(*window, handle, message, first, second);
}

}  // namespace orvi
