// Colour arithmetic of drawing and of the layered present, over the sRGB decode
// table. Platform-free.
#pragma once

#include <cstdint>

namespace orvi {

// A channel as a GL colour value: the decoded table value with the sRGB
// pipeline; otherwise 0 and 1 stand as they are, larger values are divided by
// 255, negative ones give 0, and the result is at most 1.
float channel_to_gl_float(std::int64_t channel, bool srgb_pipeline);

// The decode-table value of the channel clamped to 0..255.
float srgb_to_linear(std::int64_t channel);

// A premultiplied linear byte back to premultiplied sRGB: the nearest code of
// the un-premultiplied value, premultiplied again. 0 when alpha is 0.
std::uint8_t linear_premultiplied_to_srgb(std::uint8_t value, std::uint8_t alpha);

}  // namespace orvi
