// Immediate-mode drawing on the current canvas window, in client pixels with
// the origin at the top left and y downward. Each operation requires an open
// current window and raises "window.canvas" without one.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvi {

// Text styles: below 250 the 15 px fonts, exactly 330 the 28 px fonts, any
// other value the 20 px fonts. y is the top of the text line.
void draw_text_styled(std::string_view text, std::int32_t x, std::int32_t y, std::int32_t style, std::int32_t red,
                      std::int32_t green, std::int32_t blue);
// Draws with the display lists at list_base (characters 32 to 127); printable
// ASCII is drawn as it is, every other character or stray byte as one "?".
void draw_text(std::string_view text, std::int32_t x, std::int32_t y, std::uint32_t list_base, std::int32_t ascent,
               std::int32_t red, std::int32_t green, std::int32_t blue);

// A negative width draws nothing visible; a negative height extends upward.
void draw_rect_rgba(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, std::int64_t red,
                    std::int64_t green, std::int64_t blue);
// The radius is limited to half the width and height; a radius of at most 0.5
// draws the plain rectangle.
void draw_rounded_rect_rgba(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                            std::int64_t radius, std::int64_t red, std::int64_t green, std::int64_t blue);

// The GL colour of opaque drawing, through the sRGB table when the current
// window has the sRGB pipeline.
void set_draw_color(std::int64_t red, std::int64_t green, std::int64_t blue);
// A channel as a GL colour value for the current window (see colour_math.hpp).
float channel_to_gl_float(std::int64_t channel);

}  // namespace orvi
