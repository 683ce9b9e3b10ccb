// Input queries of the frame loop on the current canvas window.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvi {

// Cursor position in client pixels of the current window (may lie outside the
// client area); -1 when no canvas window is in the foreground or the position
// cannot be read. Raise "window.canvas" when no window is open.
std::int32_t mouse_x();
std::int32_t mouse_y();

// Consumes one counted press of the named key ("a", "7", "f5", "tab", "escape",
// ...; any case). False for an unknown name, a window that is not focused or
// not in the foreground, or no pending press. Never raises.
bool key_pressed_by_name(std::string_view name);

// Sequence of the current window's last left-button press, 0 without a
// window. A loop that polls the left button once per frame compares it with
// the value it saw last to catch a press that began and ended between two
// frames. Does not pump messages.
std::uint64_t last_left_press_sequence();

}  // namespace orvi
