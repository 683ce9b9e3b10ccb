#pragma once

#include <windows.h>

namespace orvi {

// The one window procedure of both canvas window classes. Each message updates
// the latest-event state of its registered window; nothing is queued.
LRESULT CALLBACK canvas_window_proc(HWND window, UINT message, WPARAM first, LPARAM second);

}  // namespace orvi
