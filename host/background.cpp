#include "host/background.hpp"

#include "host/platform.hpp"
#include "host/srgb_table.hpp"

#include <algorithm>

namespace orvi {

void set_pixel_projection(const canvas_window& window) {
  auto& p = platform();
  const GLsizei width = static_cast<GLsizei>(std::max<std::uint32_t>(window.client_width, 1));
  const GLsizei height = static_cast<GLsizei>(std::max<std::uint32_t>(window.client_height, 1));
  p.gl_viewport(0, 0, width, height);
  p.gl_matrix_mode(GL_PROJECTION);
  p.gl_load_identity();
  p.gl_ortho(0.0, width, height, 0.0, -1.0, 1.0);
  p.gl_matrix_mode(GL_MODELVIEW);
  p.gl_load_identity();
  p.gl_disable(GL_DEPTH_TEST);
}

void clear_window_background(canvas_window& window) {
  if (window.device_context == nullptr || window.gl_context == nullptr || window.client_width == 0 ||
      window.client_height == 0) {
    return;
  }
  auto& p = platform();
  p.wgl_make_current(window.device_context, window.gl_context);
  set_pixel_projection(window);

  if (window.translucent != 0) {
    p.gl_clear_color(0.0f, 0.0f, 0.0f, 0.0f);
    p.gl_clear(GL_COLOR_BUFFER_BIT);
    return;
  }

  const auto& table = srgb_decode_table();
  if (window.srgb_pipeline != 0) {
    p.gl_clear_color(table[10], table[11], table[13], 1.0f);
  } else {
    p.gl_clear_color(10.0f / 255.0f, 11.0f / 255.0f, 13.0f / 255.0f, 1.0f);
  }
  for (int i = 0; i < 2; ++i) {
    p.gl_clear(GL_COLOR_BUFFER_BIT);
    p.swap_buffers(window.device_context);
  }
}

}  // namespace orvi
