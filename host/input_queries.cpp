#include "host/input_queries.hpp"

#include "host/host_runtime.hpp"
#include "host/key_names.hpp"
#include "host/message_pump.hpp"
#include "host/platform.hpp"

namespace orvi {
namespace {

// One client coordinate of the cursor: x when `horizontal`, else y.
std::int32_t cursor_client_coordinate(std::string_view operation, bool horizontal) {
  canvas_window& window = require_open_window(operation);
  if (!is_canvas_foreground()) return -1;
  POINT cursor;
  if (!platform().get_cursor_pos(&cursor) || !ScreenToClient(window.window, &cursor)) return -1;
  return horizontal ? cursor.x : cursor.y;
}

}  // namespace

std::int32_t mouse_x() { return cursor_client_coordinate("MouseX", true); }
std::int32_t mouse_y() { return cursor_client_coordinate("MouseY", false); }

bool key_pressed_by_name(std::string_view name) {
  pump_window_messages();
  canvas_window* window = resolve_current_window();
  const std::uint32_t key = virtual_key_for_name(name);
  if (window == nullptr || window->open == 0 || window->focused == 0 || window->window == nullptr) return false;
  if (platform().get_foreground_window() != window->window) return false;
  if (key < 1 || key > 255 || window->key_presses[key] == 0) return false;
  window->key_presses[key] -= 1;
  return true;
}

std::uint64_t last_left_press_sequence() {
  const canvas_window* window = resolve_current_window();
  return window != nullptr ? window->last_left_press.sequence : 0;
}

}  // namespace orvi
