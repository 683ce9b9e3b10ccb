// Test support for real windows under Wine: opening canvas windows the way the
// program's opener does.
#pragma once

#include "host/canvas_window.hpp"

#include <windows.h>

namespace orvi::testing {

// A shown canvas window with a GL context (strict sRGB when the probe finds
// it, unless strict_srgb is false: then the legacy format), ten fonts,
// registered as the main and current window. Throws on failure.
canvas_window& open_gl_test_window(int client_width, int client_height, bool strict_srgb = true);

// A shown canvas window without GL, registered and open.
canvas_window& open_plain_test_window();

}  // namespace orvi::testing
