#include "app/notebook_ui.hpp"

namespace orvi {

namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes of the UTF-8 sequence a lead byte starts, or 1 for a stray byte.
std::size_t sequence_length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

}  // namespace

bool point_in_rect(std::int32_t px, std::int32_t py, const ui_rect& r) {
  return r.x <= px && px < r.x + r.w && r.y <= py && py < r.y + r.h;
}

std::int32_t body_style(std::int32_t size) { return size < 150 ? 250 : 330; }

ui_color button_color(bool primary, bool hovered) {
  if (primary) return hovered ? PRIMARY_HOVER : PRIMARY;
  return hovered ? SECONDARY_HOVER : SECONDARY;
}

text edit_text_field(text field, const text& typed, bool backspace) {
  if (backspace && !field.empty()) {
    std::size_t cut = field.size() - 1;
    while (cut > 0 && is_continuation(static_cast<unsigned char>(field[cut]))) --cut;
    field.resize(cut);
  }
  std::size_t i = 0;
  while (i < typed.size()) {
    const auto lead = static_cast<unsigned char>(typed[i]);
    const std::size_t length = std::min(sequence_length(lead), typed.size() - i);
    const std::string_view character(typed.data() + i, length);
    // Control bytes and broken sequences are dropped byte by byte; a character
    // goes in whole or not at all, so a save never stores a cut sequence.
    if (lead < 32 || lead == 127 || !is_valid_utf8(character)) {
      ++i;
      continue;
    }
    if (field.size() + length <= MAX_FIELD_BYTES) field.append(character);
    i += length;
  }
  return field;
}

std::array<const store_entry*, MAX_ROWS> visible_rows(const store_record& database) {
  std::array<const store_entry*, MAX_ROWS> rows{};
  std::size_t n = 0;
  for (const auto& entry : database.entries) {
    if (n == MAX_ROWS) break;
    if (!entry.deleted) rows[n++] = &entry;
  }
  return rows;
}

void seed_notebook(notebook_store& store) {
  if (!store.database.open || live_entry_count(store.database) != 0) return;
  store.save("welcome", "A small idea, safely kept.");
  store.save("next", "Build something useful with Orvi.");
}

notebook_fields initial_fields(const notebook_store& store) {
  return {"welcome", store_get(store.database, "welcome").value, true};
}

void apply_frame_input(notebook_fields& fields, notebook_store& store, const frame_input& input) {
  const auto hit = [&](const ui_rect& r) { return input.click && point_in_rect(input.mouse_x, input.mouse_y, r); };
  if (input.click) {
    fields.value_focused = hit(VALUE_BOX) || (fields.value_focused && !hit(KEY_BOX));
  }
  if (input.tab) fields.value_focused = !fields.value_focused;
  text& focused = fields.value_focused ? fields.value : fields.key;
  focused = edit_text_field(std::move(focused), input.typed, input.backspace);

  if (hit(SAVE_BUTTON)) store.save(fields.key, fields.value);
  if (hit(LOAD_BUTTON)) {
    const store_lookup found = store_get(store.database, fields.key);
    if (found.found) {
      fields.value = found.value;
      store.status = "Loaded saved value";
    } else {
      store.status = "Key not found";
    }
  }
  if (hit(DELETE_BUTTON)) store.delete_key(fields.key);

  const auto rows = visible_rows(store.database);
  for (std::size_t r = 0; r < MAX_ROWS && rows[r]; ++r) {
    if (hit(row_click_rect(r))) {
      fields.key = rows[r]->key;
      fields.value = rows[r]->value;
    }
  }
}

frame_click take_frame_click(frame_loop_state& state, const left_button_frame& seen) {
  // A press and release inside one frame never shows in the poll, but the
  // window stamps every left press. The poll may also lag behind the messages
  // (a cached "up" for some milliseconds after a press), so a press seen
  // through its message counts as down for as long as the messages say the
  // button is held, or the poll would click again for it once it catches up.
  const bool new_press = seen.press_sequence != state.seen_press;
  state.seen_press = seen.press_sequence;
  const frame_click result{(seen.polled_down && !state.button_was_down) || new_press, new_press};
  state.button_was_down = seen.polled_down || new_press || seen.held_by_messages;
  return result;
}

}  // namespace orvi
