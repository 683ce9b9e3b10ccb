#include "host/fonts.hpp"

#include "host/platform.hpp"

namespace orvi {
namespace {

// Some drivers (Mesa among them) record the space, whose glyph has no pixels,
// as a bitmap call that does not move the raster position, so every space in
// drawn text vanishes. Recording it as an empty bitmap with the font's own
// advance gives the same list a correct driver would have made.
void record_space_advance(HDC device_context, std::uint32_t base) {
  auto& p = platform();
  INT advance = 0;
  if (!p.get_char_width32_a(device_context, ' ', ' ', &advance) || advance <= 0) return;
  static const GLubyte empty_row = 0;
  p.gl_new_list(base, GL_COMPILE);
  p.gl_bitmap(1, 1, 0.0f, 0.0f, static_cast<GLfloat>(advance), 0.0f, &empty_row);
  p.gl_end_list();
}

}  // namespace

HFONT create_ui_font(int pixel_height, int weight) {
  return platform().create_font_a(-pixel_height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, "Segoe UI");
}

std::uint32_t build_font_display_lists(HDC device_context, HFONT font) {
  auto& p = platform();
  if (font == nullptr) return 0;
  const GLuint base = p.gl_gen_lists(font_char_count);
  if (base == 0) return 0;
  HGDIOBJ previous = p.select_object(device_context, font);
  if (previous == nullptr || previous == HGDI_ERROR) {
    p.gl_delete_lists(base, font_char_count);
    return 0;
  }
  const bool filled = p.wgl_use_font_bitmaps_a(device_context, font_first_char, font_char_count, base) == TRUE;
  if (filled) record_space_advance(device_context, base);
  p.select_object(device_context, previous);
  if (!filled) {
    p.gl_delete_lists(base, font_char_count);
    return 0;
  }
  return base;
}

void delete_ui_font(ui_font_slot& slot) {
  if (slot.font != nullptr) platform().delete_object(slot.font);
  slot = {};
}

void build_window_fonts(canvas_window& window) {
  for (std::size_t i = 0; i < font_slot_count; ++i) {
    ui_font_slot slot;
    slot.font = create_ui_font(font_slot_specs[i].pixel_height, font_slot_specs[i].weight);
    slot.list_base = build_font_display_lists(window.device_context, slot.font);
    if (slot.list_base == 0) delete_ui_font(slot);
    window.fonts[i] = slot;
  }
}

}  // namespace orvi
