#pragma once

#include "host/canvas_window.hpp"

namespace orvi {

// Sets a y-down pixel projection over the client area and clears both buffers
// to the background (10, 11, 13); a translucent window is cleared transparent
// once, without a swap.
void clear_window_background(canvas_window& window);

}  // namespace orvi
