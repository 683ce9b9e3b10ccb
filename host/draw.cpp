#include "host/draw.hpp"

#include "host/colour_math.hpp"
#include "host/host_runtime.hpp"
#include "host/platform.hpp"
#include "host/rounded_corners.hpp"
#include "host/text_walk.hpp"

#include <algorithm>

namespace orvi {
namespace {

struct text_font_choice {
  std::size_t regular_slot;
  std::int32_t ascent;
};

text_font_choice font_for_style(std::int32_t style) {
  if (style < 250) return {4, 12};
  if (style == 330) return {8, 23};
  return {6, 16};
}

bool current_srgb_pipeline() {
  const canvas_window* window = resolve_current_window();
  return window != nullptr && window->srgb_pipeline != 0;
}

GLubyte channel_byte(std::int64_t channel) { return static_cast<GLubyte>(std::clamp<std::int64_t>(channel, 0, 255)); }

}  // namespace

void set_draw_color(std::int64_t red, std::int64_t green, std::int64_t blue) {
  auto& p = platform();
  if (current_srgb_pipeline()) {
    p.gl_color4f(srgb_to_linear(red), srgb_to_linear(green), srgb_to_linear(blue), 1.0f);
  } else {
    p.gl_color4ub(channel_byte(red), channel_byte(green), channel_byte(blue), 255);
  }
}

float channel_to_gl_float(std::int64_t channel) { return channel_to_gl_float(channel, current_srgb_pipeline()); }

void draw_text_styled(std::string_view text, std::int32_t x, std::int32_t y, std::int32_t style, std::int32_t red,
                      std::int32_t green, std::int32_t blue) {
  canvas_window& window = require_open_window("DrawTextStyled");
  const text_font_choice choice = font_for_style(style);
  const ui_font_slot& bold = window.fonts[choice.regular_slot + 1];
  const ui_font_slot& chosen = (bold.list_base != 0 && bold.font != nullptr) ? bold : window.fonts[choice.regular_slot];
  draw_text(text, x, y, chosen.list_base, choice.ascent, red, green, blue);
}

void draw_text(std::string_view text, std::int32_t x, std::int32_t y, std::uint32_t list_base, std::int32_t ascent,
               std::int32_t red, std::int32_t green, std::int32_t blue) {
  require_open_window("DrawText");
  if (list_base == 0 || text.empty()) return;
  auto& p = platform();
  set_draw_color(red, green, blue);
  p.gl_raster_pos2f(static_cast<float>(x), static_cast<float>(static_cast<std::int64_t>(y) + ascent));
  p.gl_list_base(list_base - 32);
  static const GLubyte unknown = '?';
  walk_drawn_text(
      text,
      [&p](std::string_view run) { p.gl_call_lists(static_cast<GLsizei>(run.size()), GL_UNSIGNED_BYTE, run.data()); },
      [&p] { p.gl_call_lists(1, GL_UNSIGNED_BYTE, &unknown); });
}

void draw_rect_rgba(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, std::int64_t red,
                    std::int64_t green, std::int64_t blue) {
  require_open_window("DrawRectRgba");
  auto& p = platform();
  set_draw_color(red, green, blue);
  // Summed as floats, the form OpenGL takes them in: any 64-bit input is
  // safe, where an integer sum could overflow.
  const float left = static_cast<float>(x);
  const float top = static_cast<float>(y);
  const float right = left + static_cast<float>(std::max<std::int64_t>(width, 0));
  const float bottom = top + static_cast<float>(height);
  p.gl_begin(GL_QUADS);
  p.gl_vertex2f(left, top);
  p.gl_vertex2f(right, top);
  p.gl_vertex2f(right, bottom);
  p.gl_vertex2f(left, bottom);
  p.gl_end();
}

void draw_rounded_rect_rgba(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                            std::int64_t radius, std::int64_t red, std::int64_t green, std::int64_t blue) {
  require_open_window("DrawRoundedRectRgba");
  const float fw = static_cast<float>(std::max<std::int64_t>(width, 0));
  const float fh = static_cast<float>(height);
  if (fw <= 0.0f || fh <= 0.0f) return;
  const float r = std::min({static_cast<float>(radius), fw / 2.0f, fh / 2.0f});
  if (r <= 0.5f) {
    draw_rect_rgba(x, y, width, height, red, green, blue);
    return;
  }
  auto& p = platform();
  set_draw_color(red, green, blue);
  const float left = static_cast<float>(x);
  const float top = static_cast<float>(y);
  const std::array<unit_vector, 4> centres{{
      {left + fw - r, top + r},
      {left + fw - r, top + fh - r},
      {left + r, top + fh - r},
      {left + r, top + r},
  }};
  const auto& corners = rounded_corner_table();
  p.gl_begin(GL_TRIANGLE_FAN);
  p.gl_vertex2f(left + fw / 2.0f, top + fh / 2.0f);
  for (std::size_t k = 0; k < corners.size(); ++k) {
    for (const unit_vector& v : corners[k]) p.gl_vertex2f(centres[k].x + r * v.x, centres[k].y + r * v.y);
  }
  p.gl_vertex2f(centres[0].x + r * corners[0][0].x, centres[0].y + r * corners[0][0].y);
  p.gl_end();
}

}  // namespace orvi
