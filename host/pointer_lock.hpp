// Pointer lock: confining the cursor to the lock window's client area and
// ending the lock. Starting a lock is up to its producer (set the host's
// pointer_lock_window, confinement_requested, cursor_visible, raw input).
#pragma once

#include <windows.h>

namespace orvi {

// Confines the cursor to the window's client area; true when that worked.
bool clip_cursor_to_client(HWND window);
void update_locked_cursor_shape(HWND window);
void reapply_cursor_clip(HWND window);
void release_cursor_clip(HWND window);
void release_pointer_lock(HWND window);

}  // namespace orvi
