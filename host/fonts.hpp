// The ten UI bitmap fonts and their OpenGL display lists.
#pragma once

#include "host/canvas_window.hpp"

#include <windows.h>

#include <array>
#include <cstdint>

namespace orvi {

struct font_slot_spec {
  int pixel_height;
  int weight;
};

// Slot order: 12/400, 12/700, 13/400, 13/700, 15/400, 15/700, 20/400, 20/700, 28/400, 28/700.
inline constexpr std::array<font_slot_spec, font_slot_count> font_slot_specs{
    {{12, 400}, {12, 700}, {13, 400}, {13, 700}, {15, 400}, {15, 700}, {20, 400}, {20, 700}, {28, 400}, {28, 700}}};

inline constexpr int font_first_char = 32;
inline constexpr int font_char_count = 96;

HFONT create_ui_font(int pixel_height, int weight);

// Base of 96 display lists for characters 32 to 127 in this font, or 0.
std::uint32_t build_font_display_lists(HDC device_context, HFONT font);

void delete_ui_font(ui_font_slot& slot);

// Makes all ten slots for the window; a slot that fails stays 0.
void build_window_fonts(canvas_window& window);

}  // namespace orvi
