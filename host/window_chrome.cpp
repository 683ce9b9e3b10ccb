#include "host/window_chrome.hpp"

#include "host/background.hpp"
#include "host/host_runtime.hpp"
#include "host/platform.hpp"

#include <cstdint>

namespace orvi {
namespace {

constexpr std::int64_t border = 8;
constexpr std::int64_t button_width = 46;
constexpr std::int64_t min_width = 320;
constexpr std::int64_t min_height = 240;
constexpr UINT drag_position_flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;

bool in_range(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value < high; }

POINT point_of(LPARAM second) {
  return {static_cast<std::int16_t>(second & 0xFFFF), static_cast<std::int16_t>((second >> 16) & 0xFFFF)};
}

bool is_caption_button(int hit) { return hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTCLOSE; }
bool moves_left(std::uint32_t edge) { return edge == HTLEFT || edge == HTTOPLEFT || edge == HTBOTTOMLEFT; }
bool moves_right(std::uint32_t edge) { return edge == HTRIGHT || edge == HTTOPRIGHT || edge == HTBOTTOMRIGHT; }
bool moves_top(std::uint32_t edge) { return edge == HTTOP || edge == HTTOPLEFT || edge == HTTOPRIGHT; }
bool moves_bottom(std::uint32_t edge) { return edge == HTBOTTOM || edge == HTBOTTOMLEFT || edge == HTBOTTOMRIGHT; }

void set_arrow() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

}  // namespace

int canvas_hit_test(const canvas_window& window, POINT client) {
  const std::int64_t w = window.client_width;
  const std::int64_t h = window.client_height;
  // The border takes coordinates as unsigned, so negative ones are in no border.
  const std::int64_t ux = static_cast<std::uint32_t>(client.x);
  const std::int64_t uy = static_cast<std::uint32_t>(client.y);
  const bool left = in_range(ux, 0, border);
  const bool right = in_range(ux, w - border, w);
  const bool top = in_range(uy, 0, border);
  const bool bottom = in_range(uy, h - border, h);
  if (left && top) return HTTOPLEFT;
  if (top && right) return HTTOPRIGHT;
  if (left && bottom) return HTBOTTOMLEFT;
  if (right && bottom) return HTBOTTOMRIGHT;
  if (left) return HTLEFT;
  if (right) return HTRIGHT;
  if (top) return HTTOP;
  if (bottom) return HTBOTTOM;

  const std::int64_t x = client.x;
  if (window.caption_buttons != 0 && in_range(client.y, border, 38)) {
    if (in_range(x, w - button_width, w)) return HTCLOSE;
    if (in_range(x, w - 2 * button_width, w - button_width)) return HTMAXBUTTON;
    if (in_range(x, w - 3 * button_width, w - 2 * button_width)) return HTMINBUTTON;
  } else if (uy > 53) {
    return HTCLIENT;
  }
  if (x < 0) return HTCLIENT;
  return x < w - 152 ? HTCAPTION : HTCLIENT;
}

void set_cursor_for_hit(int code) {
  LPCSTR shape = IDC_ARROW;
  switch (code) {
    case HTLEFT:
    case HTRIGHT:
      shape = IDC_SIZEWE;
      break;
    case HTTOP:
    case HTBOTTOM:
      shape = IDC_SIZENS;
      break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
      shape = IDC_SIZENWSE;
      break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
      shape = IDC_SIZENESW;
      break;
    default:
      break;
  }
  SetCursor(LoadCursorA(nullptr, shape));
}

LRESULT chrome_hit_test(canvas_window& window, HWND handle, WPARAM first, LPARAM second) {
  POINT point = point_of(second);
  RECT client{};
  // Points on the system frame (close box, sizing edges) keep the system's own
  // answer; only the client area is drawn by the window itself.
  if (!ScreenToClient(handle, &point) || !GetClientRect(handle, &client) || !PtInRect(&client, point)) {
    return DefWindowProcW(handle, WM_NCHITTEST, first, second);
  }
  return canvas_hit_test(window, point) == HTCAPTION ? HTCAPTION : HTCLIENT;
}

bool set_canvas_cursor(canvas_window* window, HWND handle, LPARAM second) {
  const int code = static_cast<int>(second & 0xFFFF);
  const auto& runtime = get_host_runtime();
  if (handle == runtime.pointer_lock_window && code == HTCLIENT &&
      (runtime.relative_mode != 0 || runtime.cursor_visible == 0)) {
    SetCursor(nullptr);
    return true;
  }
  if (window == nullptr || window->client_chrome == 0 || code != HTCLIENT) return false;
  POINT cursor;
  if (!platform().get_cursor_pos(&cursor) || !ScreenToClient(handle, &cursor)) return false;
  const int hit = canvas_hit_test(*window, cursor);
  if (hit == HTCLIENT || hit == HTCAPTION) return false;
  if (is_caption_button(hit)) {
    set_arrow();
  } else {
    set_cursor_for_hit(hit);
  }
  return true;
}

std::optional<LRESULT> chrome_button_down(canvas_window& window, LPARAM second) {
  const int hit = canvas_hit_test(window, point_of(second));
  if (hit == HTCLIENT || hit == HTCAPTION) return std::nullopt;
  if (is_caption_button(hit)) {
    SetCapture(window.window);
    return 0;
  }
  auto& p = platform();
  POINT cursor{};
  RECT outer{};
  // A drag measured from zeros would throw the window to the screen origin.
  if (!p.get_cursor_pos(&cursor) || !p.get_window_rect(window.window, &outer)) return 0;
  window.resize_drag = 1;
  window.drag_edge = static_cast<std::uint32_t>(hit);
  window.drag_start_cursor = {cursor.x, cursor.y};
  window.drag_start_rect = {outer.left, outer.top, outer.right, outer.bottom};
  SetCapture(window.window);
  set_cursor_for_hit(hit);
  return 0;
}

std::optional<LRESULT> chrome_button_up(canvas_window& window, LPARAM second) {
  HWND handle = window.window;
  switch (canvas_hit_test(window, point_of(second))) {
    case HTMINBUTTON:
      ReleaseCapture();
      platform().show_window(handle, SW_MINIMIZE);
      return 0;
    case HTMAXBUTTON:
      ReleaseCapture();
      platform().show_window(handle, IsZoomed(handle) ? SW_RESTORE : SW_MAXIMIZE);
      return 0;
    case HTCLOSE:
      ReleaseCapture();
      SendMessageA(handle, WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  if (window.resize_drag != 0) {
    window.resize_drag = 0;
    window.drag_edge = 0;
    ReleaseCapture();
    return 0;
  }
  if (handle != nullptr && GetCapture() == handle) {
    ReleaseCapture();
    return 0;
  }
  return std::nullopt;
}

void resize_drag_step(canvas_window& window) {
  POINT cursor;
  if (!platform().get_cursor_pos(&cursor)) return;
  const std::int64_t dx = static_cast<std::int64_t>(cursor.x) - window.drag_start_cursor.x;
  const std::int64_t dy = static_cast<std::int64_t>(cursor.y) - window.drag_start_cursor.y;
  const std::uint32_t edge = window.drag_edge;
  std::int64_t left = window.drag_start_rect.left;
  std::int64_t top = window.drag_start_rect.top;
  std::int64_t right = window.drag_start_rect.right;
  std::int64_t bottom = window.drag_start_rect.bottom;
  if (moves_left(edge)) left += dx;
  if (moves_right(edge)) right += dx;
  if (moves_top(edge)) top += dy;
  if (moves_bottom(edge)) bottom += dy;
  if (right - left < min_width) {
    if (moves_left(edge)) {
      left = right - min_width;
    } else {
      right = left + min_width;
    }
  }
  if (bottom - top < min_height) {
    if (moves_top(edge)) {
      top = bottom - min_height;
    } else {
      bottom = top + min_height;
    }
  }
  platform().set_window_pos(window.window, nullptr, static_cast<int>(left), static_cast<int>(top),
                            static_cast<int>(right - left), static_cast<int>(bottom - top), drag_position_flags);
  clear_window_background(window);
}

}  // namespace orvi
