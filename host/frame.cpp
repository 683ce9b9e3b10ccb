#include "host/frame.hpp"

#include "host/background.hpp"

#include "host/colour_math.hpp"
#include "host/draw.hpp"
#include "host/host_runtime.hpp"
#include "host/platform.hpp"

#include <algorithm>

namespace orvi {
namespace {

constexpr GLenum gl_bgra = 0x80E1;

void reset_per_frame_state() {
  auto& p = platform();
  p.gl_disable(GL_SCISSOR_TEST);
  p.gl_disable(GL_STENCIL_TEST);
  p.gl_color_mask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  p.gl_stencil_mask(0xFF);
  p.gl_stencil_func(GL_ALWAYS, 0, 0xFF);
  p.gl_stencil_op(GL_KEEP, GL_KEEP, GL_KEEP);
}

// Makes sure the window holds a bitmap of w x h; false skips the frame.
bool ensure_layered_bitmap(canvas_window& window, std::uint32_t w, std::uint32_t h) {
  if (window.layered_bitmap != nullptr && window.layered_width == w && window.layered_height == h) return true;
  auto& p = platform();
  auto& counts = get_render_resource_counts();
  const std::uint64_t bytes = static_cast<std::uint64_t>(w) * h * 4;
  const std::uint64_t others = counts.layered_bytes - std::min(counts.layered_bytes, window.layered_bytes);
  if (others + bytes > layered_max_total_bytes) return false;

  HDC dc = window.layered_dc;
  const bool made_dc = dc == nullptr;
  if (made_dc) dc = p.create_compatible_dc(nullptr);
  if (dc == nullptr) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(w);
  info.bmiHeader.biHeight = static_cast<LONG>(h);  // bottom-up, like glReadPixels
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = p.create_dib_section(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr || bits == nullptr) {
    if (dib != nullptr) p.delete_object(dib);
    if (made_dc) p.delete_dc(dc);
    return false;
  }
  HGDIOBJ displaced = p.select_object(dc, dib);
  if (displaced == nullptr || displaced == HGDI_ERROR) {
    p.delete_object(dib);
    if (made_dc) p.delete_dc(dc);
    return false;
  }
  if (made_dc) {
    window.layered_dc = dc;
    window.layered_old_bitmap = displaced;
  }
  if (window.layered_bitmap != nullptr) {
    p.delete_object(window.layered_bitmap);
    counts.layered_bytes -= std::min(counts.layered_bytes, window.layered_bytes);
  } else {
    counts.layered_bitmaps += 1;
  }
  window.layered_bitmap = dib;
  window.layered_bits = bits;
  window.layered_width = w;
  window.layered_height = h;
  window.layered_bytes = bytes;
  counts.layered_bytes += bytes;
  return true;
}

}  // namespace

void begin_frame(std::int64_t red, std::int64_t green, std::int64_t blue) {
  canvas_window& window = require_open_window("BeginFrame");
  auto& p = platform();
  set_pixel_projection(window);
  reset_per_frame_state();
  p.gl_enable(GL_BLEND);
  if (window.translucent != 0 && window.blend_func_separate != nullptr) {
    window.blend_func_separate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    p.gl_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  p.gl_clear_stencil(0);
  p.gl_clear_color(channel_to_gl_float(red), channel_to_gl_float(green), channel_to_gl_float(blue), 1.0f);
  p.gl_clear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void end_frame() {
  canvas_window& window = require_open_window("EndFrame");
  auto& p = platform();
  reset_per_frame_state();
  p.gl_flush();
  if (window.translucent == 0) {
    p.swap_buffers(window.device_context);
    return;
  }
  present_layered_frame(window);
}

void present_layered_frame(canvas_window& window) {
  auto& p = platform();
  window.layered_presented = 0;
  if (window.client_width > layered_max_side || window.client_height > layered_max_side) return;
  const std::uint32_t w = std::max<std::uint32_t>(window.client_width, 1);
  const std::uint32_t h = std::max<std::uint32_t>(window.client_height, 1);
  if (!ensure_layered_bitmap(window, w, h)) return;

  auto* pixels = static_cast<std::uint8_t*>(window.layered_bits);
  p.gl_read_buffer(GL_BACK);
  p.gl_read_pixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), gl_bgra, GL_UNSIGNED_BYTE, pixels);
  const std::uint64_t bytes = window.layered_bytes;
  for (std::uint64_t i = 0; i < bytes; i += 4) {
    const std::uint8_t alpha = pixels[i + 3];
    for (int c = 0; c < 3; ++c) pixels[i + c] = linear_premultiplied_to_srgb(pixels[i + c], alpha);
  }
  // The DIB is bottom-up: its last row is the top of the window.
  const std::uint8_t* probe = pixels + static_cast<std::uint64_t>(h - 1) * w * 4;
  window.layered_probe_pixel = static_cast<std::uint64_t>(probe[0]) | (static_cast<std::uint64_t>(probe[1]) << 8) |
                               (static_cast<std::uint64_t>(probe[2]) << 16) |
                               (static_cast<std::uint64_t>(probe[3]) << 24);

  RECT outer;
  if (!p.get_window_rect(window.window, &outer)) return;
  HDC screen = p.get_dc(nullptr);
  if (screen == nullptr) return;
  POINT destination{outer.left, outer.top};
  SIZE size{static_cast<LONG>(w), static_cast<LONG>(h)};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const BOOL updated = p.update_layered_window(window.window, screen, &destination, &size, window.layered_dc, &source,
                                               0, &blend, ULW_ALPHA);
  p.release_dc(nullptr, screen);
  if (updated != 1) return;
  window.layered_presents += 1;
  window.layered_presented = 1;
  if (window.shown == 0) {
    p.show_window(window.window, SW_SHOW);
    window.shown = 1;
  }
}

}  // namespace orvi
