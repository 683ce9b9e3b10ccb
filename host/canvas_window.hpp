// One canvas window's record: handles, flags, fonts, latest-event state and
// pending input. Owned by the window registry.
#pragma once

#include <windows.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvi {

using blend_func_separate_fn = void(APIENTRY*)(GLenum, GLenum, GLenum, GLenum);

// A GDI font with the base of its 96 display lists (characters 32 to 127).
struct ui_font_slot {
  std::uint32_t list_base = 0;
  HFONT font = nullptr;
};

inline constexpr std::size_t font_slot_count = 10;

struct pointer_sample {
  std::uint64_t id = 0;
  std::uint64_t kind = 0;  // 1 mouse, 2 touch, 3 pen
  std::uint64_t buttons = 0;
  std::uint64_t pressure = 0;  // 0 to 1000
  std::uint64_t reserved = 0;  // every writer sets 0
  std::uint64_t wheel_delta = 0;
  std::uint64_t client_x = 0;
  std::uint64_t client_y = 0;
  std::uint64_t message_x = 0;
  std::uint64_t message_y = 0;
  std::uint64_t pressed = 0;
  std::uint64_t capture_lost = 0;
  std::uint64_t cancelled = 0;
};

struct press_record {
  std::uint64_t sequence = 0;
  std::uint64_t id = 0;
  std::uint64_t kind = 0;
  std::uint64_t pressure = 0;
  std::uint64_t client_x = 0;
  std::uint64_t client_y = 0;
  std::uint64_t message_x = 0;
  std::uint64_t message_y = 0;
  std::uint64_t pressed = 0;
};

struct point_i32 {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct rect_i32 {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

struct text_texture_entry {
  std::string text;
  std::string style;
  std::uint32_t texture = 0;
};

struct image_texture_entry {
  std::string image;
  std::uint32_t texture = 0;
};

// Event codes of last_event_code.
inline constexpr std::uint64_t event_key_down = 100;
inline constexpr std::uint64_t event_key_up = 101;
inline constexpr std::uint64_t event_pointer_move = 200;
inline constexpr std::uint64_t event_pointer_press = 201;
inline constexpr std::uint64_t event_pointer_release = 202;
inline constexpr std::uint64_t event_wheel = 203;
inline constexpr std::uint64_t event_capture_lost = 204;
inline constexpr std::uint64_t event_pointer_cancelled = 205;
inline constexpr std::uint64_t event_file_dropped = 210;

inline constexpr std::size_t pending_text_limit = 512;  // bytes of typed_text and preedit_text

struct canvas_window {
  std::uint32_t id = 0;
  HWND window = nullptr;
  HDC device_context = nullptr;
  HGLRC gl_context = nullptr;
  std::uint8_t strict_srgb_format = 0;
  std::uint8_t srgb_pipeline = 0;
  std::uint8_t translucent = 0;
  blend_func_separate_fn blend_func_separate = nullptr;

  HDC layered_dc = nullptr;
  HBITMAP layered_bitmap = nullptr;
  HGDIOBJ layered_old_bitmap = nullptr;
  void* layered_bits = nullptr;
  std::uint32_t layered_width = 0;
  std::uint32_t layered_height = 0;
  std::uint64_t layered_bytes = 0;
  std::uint64_t layered_presents = 0;
  std::uint64_t layered_probe_pixel = 0;
  std::uint8_t layered_presented = 0;

  std::array<ui_font_slot, font_slot_count> fonts{};

  std::uint32_t client_width = 0;
  std::uint32_t client_height = 0;
  std::int32_t client_x = 0;
  std::int32_t client_y = 0;
  std::uint8_t open = 0;
  std::uint8_t shown = 0;
  std::uint8_t focused = 0;
  std::uint8_t minimized = 0;
  std::uint8_t close_requested = 0;
  std::uint32_t parent_id = 0;
  std::uint32_t dpi_scale_percent = 100;
  std::uint32_t monitor_index = 1;

  std::uint64_t last_change_sequence = 0;
  std::uint64_t last_event_code = 0;
  std::uint64_t last_input_sequence = 0;
  std::array<std::uint64_t, 8> event_args{};
  pointer_sample pointer;
  press_record last_press;
  // The last press of the left mouse button alone: the one press a click is made of.
  press_record last_left_press;
  std::uint64_t touch_points = 0;
  std::string dropped_path;
  std::uint64_t modifier_mask = 0;
  std::array<std::uint8_t, 256> key_presses{};

  std::string typed_text;
  std::uint64_t typed_count = 0;
  std::uint32_t pending_high_surrogate = 0;
  std::string preedit_text;
  std::uint64_t preedit_revision = 0;
  std::uint8_t preedit_active = 0;
  std::int32_t caret_x = -1;
  std::int32_t caret_y = -1;
  std::int32_t caret_height = 0;

  std::uint8_t caption_buttons = 0;
  std::uint8_t client_chrome = 0;
  std::uint8_t resize_drag = 0;
  std::uint32_t drag_edge = 0;
  point_i32 drag_start_cursor;
  rect_i32 drag_start_rect;

  std::vector<text_texture_entry> text_textures;
  std::vector<image_texture_entry> image_textures;
  std::uint32_t spare_texture = 0;
};

inline std::unique_ptr<canvas_window> make_canvas_window() { return std::make_unique<canvas_window>(); }

}  // namespace orvi
