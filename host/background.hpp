#pragma once

#include "host/canvas_window.hpp"

namespace orvi {

// Viewport and a y-down orthographic projection over the client area (each
// side at least 1 pixel), origin at the top left; depth test off.
void set_pixel_projection(const canvas_window& window);

// Sets a y-down pixel projection over the client area and clears both buffers
// to the background (10, 11, 13); a translucent window is cleared transparent
// once, without a swap.
void clear_window_background(canvas_window& window);

}  // namespace orvi
