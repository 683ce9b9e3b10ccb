#include "host/colour_math.hpp"

#include "host/srgb_table.hpp"

#include <algorithm>

namespace orvi {
namespace {

std::size_t clamp_channel(std::int64_t channel) {
  return static_cast<std::size_t>(std::clamp<std::int64_t>(channel, 0, 255));
}

}  // namespace

float channel_to_gl_float(std::int64_t channel, bool srgb_pipeline) {
  if (srgb_pipeline) return srgb_decode_table()[clamp_channel(channel)];
  if (channel < 0) return 0.0f;
  // 1 means full intensity, as 0 means none; only larger values are bytes.
  float value = static_cast<float>(channel);
  if (channel > 1) value /= 255.0f;
  return std::min(value, 1.0f);
}

float srgb_to_linear(std::int64_t channel) { return srgb_decode_table()[clamp_channel(channel)]; }

std::uint8_t linear_premultiplied_to_srgb(std::uint8_t value, std::uint8_t alpha) {
  if (alpha == 0) return 0;
  const auto& table = srgb_decode_table();
  const float v = std::clamp(table[value] * 255.0f / static_cast<float>(alpha), 0.0f, 1.0f);
  int lo = 0;
  int hi = 255;
  while (hi > lo + 1) {
    const int mid = (lo + hi) / 2;
    if (v >= table[mid]) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  const int code = (v - table[lo] > table[hi] - v) ? hi : lo;
  return static_cast<std::uint8_t>((alpha * code + 127) / 255);
}

}  // namespace orvi
