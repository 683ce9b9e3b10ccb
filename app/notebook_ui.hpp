// What the notebook window shows and how one frame's input changes it, kept
// apart from the window so it can be tested without one.
#pragma once

#include <array>
#include <cstdint>

#include "app/notebook_store.hpp"

namespace orvi {

struct ui_rect {
  std::int32_t x, y, w, h;
};

struct ui_color {
  std::int32_t r, g, b;
};

// Layout in client pixels of the 1000 x 700 window.
inline constexpr std::int32_t CLIENT_WIDTH = 1000;
inline constexpr std::int32_t CLIENT_HEIGHT = 700;
inline constexpr ui_rect PANEL_RECT{32, 163, 304, 455};
inline constexpr std::int32_t PANEL_RADIUS = 20;
inline constexpr ui_rect KEY_BOX{380, 232, 560, 55};
inline constexpr ui_rect VALUE_BOX{380, 347, 560, 55};
inline constexpr std::int32_t BOX_RADIUS = 10;
inline constexpr ui_rect KEY_UNDERLINE{380, 290, 560, 2};
inline constexpr ui_rect VALUE_UNDERLINE{380, 405, 560, 2};
inline constexpr ui_rect SAVE_BUTTON{380, 449, 150, 44};
inline constexpr ui_rect LOAD_BUTTON{550, 449, 150, 44};
inline constexpr ui_rect DELETE_BUTTON{720, 449, 150, 44};
inline constexpr std::int32_t BUTTON_HEIGHT = 44;
inline constexpr std::int32_t BUTTON_RADIUS = 10;
inline constexpr std::size_t MAX_ROWS = 8;
inline constexpr std::size_t MAX_FIELD_BYTES = 120;

inline constexpr ui_color BACKGROUND{17, 27, 34};
inline constexpr ui_color PANEL_COLOR{25, 39, 46};
inline constexpr ui_color BOX_COLOR{30, 48, 53};
inline constexpr ui_color FOCUS_COLOR{118, 210, 171};
inline constexpr ui_color LABEL_COLOR{139, 169, 169};
inline constexpr ui_color BODY_COLOR{221, 233, 230};
inline constexpr ui_color PRIMARY{48, 116, 96};
inline constexpr ui_color PRIMARY_HOVER{60, 128, 108};
inline constexpr ui_color SECONDARY{37, 53, 58};
inline constexpr ui_color SECONDARY_HOVER{49, 65, 70};

inline constexpr std::int32_t LABEL_STYLE = 150;

// Saved-key row r: drawn 44 px high, clickable on its top 38 px.
constexpr ui_rect row_rect(std::size_t r) { return {46, 239 + 43 * static_cast<std::int32_t>(r), 270, 44}; }
constexpr ui_rect row_click_rect(std::size_t r) { return {46, 239 + 43 * static_cast<std::int32_t>(r), 270, 38}; }

// Left and top inclusive, right and bottom exclusive.
bool point_in_rect(std::int32_t px, std::int32_t py, const ui_rect& r);

// Body text below size 150 uses the medium fonts (style 250), else the large (330).
std::int32_t body_style(std::int32_t size);

ui_color button_color(bool primary, bool hovered);

// BACKSPACE removes the last whole character; typed characters are appended
// while the field stays within 120 bytes. Control bytes are dropped, and so is
// a character that does not fit whole (later, smaller ones may still fit).
text edit_text_field(text field, const text& typed, bool backspace);

// The first live entries, in list order, that get a row; unused slots are null.
std::array<const store_entry*, MAX_ROWS> visible_rows(const store_record& database);

struct notebook_fields {
  text key;
  text value;
  bool value_focused = true;
};

// Seeds an open, empty database with the two sample records.
void seed_notebook(notebook_store& store);

// "welcome" and its stored value, the value field focused.
notebook_fields initial_fields(const notebook_store& store);

struct frame_input {
  bool click = false;
  std::int32_t mouse_x = -1;
  std::int32_t mouse_y = -1;
  bool tab = false;
  bool backspace = false;
  text typed;
};

// One frame's focus change, editing, button actions and row click, in that order.
void apply_frame_input(notebook_fields& fields, notebook_store& store, const frame_input& input);

// What the frame loop knows of the left button between frames.
struct frame_loop_state {
  bool button_was_down = false;
  std::uint64_t seen_press = 0;  // the window's last left-press sequence already acted on
};

// The left button as one frame sees it: the system's poll, the window's last
// left-press sequence, and whether the window's latest mouse message had the
// button held.
struct left_button_frame {
  bool polled_down = false;
  std::uint64_t press_sequence = 0;
  bool held_by_messages = false;
};

// Whether this frame clicks, and whether the click is the press the window
// stamped (which then gives its position). One press is one click, however
// long it is held and whichever of the poll and the messages sees it first.
struct frame_click {
  bool click = false;
  bool stamped = false;
};
frame_click take_frame_click(frame_loop_state& state, const left_button_frame& seen);

}  // namespace orvi
