// A client-drawn caption and resize border: hit testing, cursor shapes, the
// caption buttons and the border drag.
#pragma once

#include "host/canvas_window.hpp"

#include <windows.h>

#include <optional>

namespace orvi {

// Hit-test code (the system's HT values) of a client point.
int canvas_hit_test(const canvas_window& window, POINT client);
// The sizing cursor of a border code, the arrow for anything else.
void set_cursor_for_hit(int code);

// WM_NCHITTEST with client_chrome set.
LRESULT chrome_hit_test(canvas_window& window, HWND handle, WPARAM first, LPARAM second);
// WM_SETCURSOR; true when a cursor was set. `window` is null for a handle
// that is not registered (only the pointer-lock rule applies then).
bool set_canvas_cursor(canvas_window* window, HWND handle, LPARAM second);
// Left button with client_chrome set; empty when the default handling runs.
std::optional<LRESULT> chrome_button_down(canvas_window& window, LPARAM second);
std::optional<LRESULT> chrome_button_up(canvas_window& window, LPARAM second);
// Mouse move while resize_drag is set.
void resize_drag_step(canvas_window& window);

}  // namespace orvi
