// Starting and presenting a frame on the current canvas window.
#pragma once

#include "host/canvas_window.hpp"

#include <cstdint>

namespace orvi {

inline constexpr std::uint32_t layered_max_side = 2048;
inline constexpr std::uint64_t layered_max_total_bytes = 64ull * 1024 * 1024;

// Sets the y-down pixel projection over the client area, resets the per-frame
// GL state and clears to the background colour (channels 0 to 255).
void begin_frame(std::int64_t red, std::int64_t green, std::int64_t blue);
// Presents: a buffer swap for an opaque window, the layered present for a
// translucent one.
void end_frame();

// The translucent present: copies the back buffer into the window's bitmap as
// premultiplied sRGB and updates the layered window. Any failure skips the
// frame (layered_presented stays 0).
void present_layered_frame(canvas_window& window);

}  // namespace orvi
