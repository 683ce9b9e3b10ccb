#include "app/notebook_ui.hpp"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::temp_dir;

// Pointer at the middle of a box, pressed or only hovering, with or without TAB.
frame_input click_on(const ui_rect& r, bool press = true, bool tab = false) {
  return {press, r.x + r.w / 2, r.y + r.h / 2, tab, false, {}};
}

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
    std::vector<text> field;  // its characters
    text field_text, typed, expected;
    for (std::size_t target = rng() % 121; field_text.size() < target;) {
      field.push_back(characters[rng() % 9]);
      field_text += field.back();
    }
    if (field_text.size() > 120) field_text.resize(field_text.size() - field.back().size()), field.pop_back();
    const bool backspace = rng() % 2;
    if (backspace && !field.empty()) field.pop_back();
    for (const text& c : field) expected += c;
    for (int n = rng() % 5; n > 0; --n) {
      const text& c = characters[rng() % 12];
      typed += c;
      if (&c < &characters[9] && expected.size() + c.size() <= 120) expected += c;
    }
    ASSERT_EQ(edit_text_field(field_text, typed, backspace), expected)
        << ::testing::PrintToString(field_text) << " + " << ::testing::PrintToString(typed) << " " << backspace;
  }
  // Broken sequences are dropped byte by byte.
  EXPECT_EQ(edit_text_field("", "\xC3!\x80\xE2\x82?\xF0\x9F\x98", false), "!?");
}

TEST(NotebookFrame, FocusFollowsClicksAndTab) {
  temp_dir tmp;
  auto store = open_notebook_store(tmp.str());
  notebook_fields fields{"k", "v", true};
  // Each frame's input, then the focus and the fields after it.
  const std::tuple<frame_input, bool, text, text> frames[] = {
      {click_on({0, 0, 10, 10}), true, "k", "v"},  // a click elsewhere keeps the focus
      {click_on(KEY_BOX), false, "k", "v"},
      {{false, -1, -1, false, false, "ey"}, false, "key", "v"},
      {click_on(KEY_BOX, true, true), true, "key", "v"},  // TAB after a click in the key box
      {{false, -1, -1, false, true, "!"}, true, "key", "!"},
      {click_on(KEY_BOX, false), true, "key", "!"},  // a pointer over a box does nothing by itself
  };
  for (const auto& [input, value_focused, key, value] : frames) {
    apply_frame_input(fields, *store, input);
    EXPECT_EQ(std::tie(fields.value_focused, fields.key, fields.value), std::tie(value_focused, key, value));
  }
}

TEST(NotebookFrame, ButtonsAndRows) {
  temp_dir tmp;
  auto store = open_notebook_store(tmp.str());
  notebook_fields fields{"alpha", "one", true};
  apply_frame_input(fields, *store, click_on(SAVE_BUTTON));
  EXPECT_EQ(store->status, "Saved / commit 1");

  fields = {"missing", "kept", true};
  apply_frame_input(fields, *store, click_on(LOAD_BUTTON));
  EXPECT_EQ(std::tie(store->status, fields.value), std::make_tuple("Key not found", "kept"));
  fields.key = "alpha";
  apply_frame_input(fields, *store, click_on(LOAD_BUTTON));
  EXPECT_EQ(std::tie(store->status, fields.value), std::make_tuple("Loaded saved value", "one"));

  for (int i = 0; i < 10; ++i) ASSERT_TRUE(store->save("k" + std::to_string(i), "v" + std::to_string(i)));
  apply_frame_input(fields, *store, click_on(row_click_rect(7)));
  EXPECT_EQ(std::tie(fields.key, fields.value), std::make_tuple("k6", "v6"));
  // The bottom 6 px of a row are drawn but not clickable; a ninth row does not exist.
  fields = {"x", "y", true};
  apply_frame_input(fields, *store, {true, 100, row_rect(0).y + 40, false, false, {}});
  apply_frame_input(fields, *store, click_on(row_click_rect(8)));
  EXPECT_EQ(fields.key, "x");

  fields = {"alpha", "", true};
  apply_frame_input(fields, *store, click_on(DELETE_BUTTON));
  EXPECT_EQ(store->status, "Deleted");
  EXPECT_EQ(visible_rows(store->database)[0]->key, "k0") << "rows follow the reopened list";
  EXPECT_EQ(visible_rows(store->database)[7]->key, "k7");
}

TEST(NotebookFrame, StylesAndButtonColours) {
  EXPECT_EQ(std::make_tuple(body_style(149), body_style(150)), std::make_tuple(250, 330));
  for (const auto& [primary, hovered, want] : {std::tuple{true, false, PRIMARY},
                                               {true, true, PRIMARY_HOVER},
                                               {false, false, SECONDARY},
                                               {false, true, SECONDARY_HOVER}}) {
    const ui_color got = button_color(primary, hovered);
    EXPECT_EQ(std::tie(got.r, got.g, got.b), std::tie(want.r, want.g, want.b)) << primary << hovered;
  }
}

TEST(NotebookFrame, SeedingAndStartValues) {
  temp_dir tmp;
  auto fresh = open_notebook_store(tmp.file("fresh"));
  seed_notebook(*fresh);
  EXPECT_EQ(fresh->status, "Saved / commit 2");
  const notebook_fields start = initial_fields(*fresh);
  EXPECT_EQ(std::tie(start.key, start.value, start.value_focused),
            std::make_tuple("welcome", "A small idea, safely kept.", true));
  EXPECT_EQ(store_get(fresh->database, "next").value, "Build something useful with Orvi.");

  auto other = open_notebook_store(tmp.file("other"));
  ASSERT_TRUE(other->save("mine", "1"));
  seed_notebook(*other);
  EXPECT_EQ(other->database.generation, 1) << "a database with a live record is not seeded";
  EXPECT_EQ(initial_fields(*other).value, "");
}

}  // namespace
}  // namespace orvi
