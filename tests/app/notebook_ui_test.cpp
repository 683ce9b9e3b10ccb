#include "app/notebook_ui.hpp"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/temp_dir.hpp"

namespace orvi {

// Random fields and typed texts against the rule: BACKSPACE takes the last
// whole character, control bytes are dropped, and a character goes in whole
// while the field stays within 120 bytes.
TEST(EditTextField, WholeCharactersWithinTheLimit) {
  // Characters of every length at the edges of their ranges, then control bytes.
  // clang-format off
  const text characters[] = {" ", "~", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEF\xBF\xBF",
                             "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\t", "\x7F", "\x01"};
  // clang-format on
  std::mt19937 rng(18);
  for (int round = 0; round < 3000; ++round) {
    std::vector<text> field;  // its characters, at most 120 bytes
    text field_text, typed, expected;
    for (const std::size_t target = rng() % 118; field_text.size() < target;)
      field_text += field.emplace_back(characters[rng() % 9]);
    const bool backspace = rng() % 2;
    if (backspace && !field.empty()) field.pop_back();
    for (const text& c : field) expected += c;
    for (int n = rng() % 5; n > 0; --n) {
      const std::size_t pick = rng() % 12;
      typed += characters[pick];
      if (pick < 9 && expected.size() + characters[pick].size() <= 120) expected += characters[pick];
    }
    ASSERT_EQ(edit_text_field(field_text, typed, backspace), expected)
        << ::testing::PrintToString(field_text) << " + " << ::testing::PrintToString(typed) << " " << backspace;
  }
  // Broken sequences are dropped byte by byte.
  EXPECT_EQ(edit_text_field("", "\xC3!\x80\xE2\x82?\xF0\x9F\x98", false), "!?");
}

// Pointer at the middle of a box, pressed or only hovering, with or without TAB.
frame_input click_on(const ui_rect& r, bool press = true, bool tab = false) {
  return {press, r.x + r.w / 2, r.y + r.h / 2, tab, false, {}};
}

// A seeded notebook with ten more records, used frame by frame: focus follows
// clicks and TAB, typing edits the focused field, the buttons act on the
// fields, and a row click copies its record.
TEST(NotebookFrame, SeedingFocusButtonsAndRows) {
  testing::temp_dir tmp;
  auto store = open_notebook_store(tmp.file("fresh"));
  seed_notebook(*store);
  EXPECT_EQ(store_get(store->database, "next").value, "Build something useful with Orvi.");
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(store->save("k" + std::to_string(i), "v" + std::to_string(i)));
  notebook_fields fields = initial_fields(*store);
  const text idea = "A small idea, safely kept.", edited = "A small idea, safely kept!";
  // Each frame's input, then the focus, the fields and the status after it.
  const std::tuple<frame_input, bool, text, text, text> frames[] = {
      {click_on({0, 0, 10, 10}), true, "welcome", idea, "Saved / commit 12"},  // elsewhere: the focus stays
      {click_on(KEY_BOX), false, "welcome", idea, "Saved / commit 12"},
      {{false, -1, -1, false, false, "2"}, false, "welcome2", idea, "Saved / commit 12"},
      {click_on(KEY_BOX, true, true), true, "welcome2", idea, "Saved / commit 12"},  // TAB after the click
      {{false, -1, -1, false, true, "!"}, true, "welcome2", edited, "Saved / commit 12"},
      {click_on(LOAD_BUTTON, false), true, "welcome2", edited, "Saved / commit 12"},  // hovering does nothing
      {click_on(LOAD_BUTTON), true, "welcome2", edited, "Key not found"},
      {click_on(SAVE_BUTTON), true, "welcome2", edited, "Saved / commit 13"},
      {{false, -1, -1, false, false, "x"}, true, "welcome2", edited + "x", "Saved / commit 13"},
      {click_on(LOAD_BUTTON), true, "welcome2", edited, "Loaded saved value"},
      {click_on(row_click_rect(7)), true, "k5", "v5", "Loaded saved value"},
      // The bottom 6 px of a row are drawn but not clickable; a ninth row does not exist.
      {{true, 100, row_rect(0).y + 40, false, false, {}}, true, "k5", "v5", "Loaded saved value"},
      {click_on(row_click_rect(8)), true, "k5", "v5", "Loaded saved value"},
      {click_on(DELETE_BUTTON), true, "k5", "v5", "Deleted"},
      {click_on(row_click_rect(7)), true, "k8", "v8", "Deleted"},  // the rows of the list read back
  };
  for (const auto& [input, value_focused, key, value, status] : frames) {
    apply_frame_input(fields, *store, input);
    EXPECT_EQ(std::tie(fields.value_focused, fields.key, fields.value, store->status),
              std::tie(value_focused, key, value, status));
  }
  // A database with a live record is not seeded.
  auto other = open_notebook_store(tmp.file("other"));
  ASSERT_TRUE(other->save("mine", "1"));
  seed_notebook(*other);
  EXPECT_EQ(std::make_tuple(other->database.generation, initial_fields(*other).value), std::make_tuple(1, ""));
}

TEST(NotebookFrame, StylesAndButtonColours) {
  EXPECT_EQ(std::make_tuple(body_style(149), body_style(150)), std::make_tuple(250, 330));
  const auto rgb = [](const ui_color& c) { return std::make_tuple(c.r, c.g, c.b); };
  EXPECT_EQ(std::make_tuple(rgb(button_color(true, false)), rgb(button_color(true, true)),
                            rgb(button_color(false, false)), rgb(button_color(false, true))),
            std::make_tuple(rgb(PRIMARY), rgb(PRIMARY_HOVER), rgb(SECONDARY), rgb(SECONDARY_HOVER)));
}

// One press is one click, whichever of the system's poll and the window's
// messages sees it first, and however long the poll lags behind the messages.
TEST(NotebookFrame, OnePressIsOneClick) {
  // Frames of (polled down, press sequence, held by messages), then the clicks
  // as "c" (from the poll) or "s" (the stamped press) or "-".
  const std::pair<std::vector<left_button_frame>, std::string> cases[] = {
      {{{true, 0, true}, {true, 0, true}, {false, 0, false}}, "c--"},  // seen by the poll alone
      {{{true, 1, true}, {true, 1, true}, {false, 1, false}}, "s--"},  // by both at once
      {{{false, 1, false}, {false, 1, false}}, "s-"},                  // pressed and released inside a frame
      {{{false, 1, true}, {false, 1, true}, {true, 1, true}, {false, 1, false}}, "s---"},  // the poll lags
      {{{false, 1, true}, {true, 1, true}, {false, 1, false}, {false, 2, false}}, "s--s"},
      // A later press that the poll alone sees still clicks.
      {{{false, 1, false}, {true, 1, false}, {false, 1, false}, {true, 1, false}}, "s--c"},
  };
  for (const auto& [frames, clicks] : cases) {
    frame_loop_state state;
    std::string seen;
    for (const left_button_frame& f : frames) {
      const frame_click c = take_frame_click(state, f);
      seen += !c.click ? '-' : c.stamped ? 's' : 'c';
    }
    EXPECT_EQ(seen, clicks);
  }
}

}  // namespace orvi
