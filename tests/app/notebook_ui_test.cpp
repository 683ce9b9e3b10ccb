#include "app/notebook_ui.hpp"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::temp_dir;

const text E_ACUTE = "\xC3\xA9";          // two bytes
const text NOTEPAD = "\xF0\x9F\x93\x9D";  // four bytes
// Pointer at the middle of a box, pressed or only hovering, with or without TAB.
frame_input click_on(const ui_rect& r, bool press = true, bool tab = false) {
  return {press, r.x + r.w / 2, r.y + r.h / 2, tab, false, {}};
}

TEST(EditTextField, BackspaceRemovesWholeCharacters) {
  EXPECT_EQ(edit_text_field("a" + NOTEPAD, "", true), "a");
  EXPECT_EQ(edit_text_field("", "", true), "");
  EXPECT_EQ(edit_text_field("abc", "d", true), "abd") << "backspace first, then the typed text";
}

TEST(EditTextField, ControlBytesAndTheLimit) {
  EXPECT_EQ(edit_text_field("a", text("\t\n\x7F") + "b\x01", false), "ab");
  EXPECT_EQ(edit_text_field(text(119, 'x'), "yz", false), text(119, 'x') + "y");

  // A character that does not fit whole is dropped whole, never cut: the
  // field stays valid UTF-8, and a later one-byte character still fits.
  EXPECT_EQ(edit_text_field(text(119, 'x'), E_ACUTE + "a", false), text(119, 'x') + "a");
  EXPECT_EQ(edit_text_field(text(116, 'x'), NOTEPAD, false), text(116, 'x') + NOTEPAD);
  EXPECT_EQ(edit_text_field("", text("\xC3") + "a\x80" + E_ACUTE, false), "a" + E_ACUTE) << "broken sequences dropped";
}

TEST(NotebookFrame, FocusFollowsClicksAndTab) {
  temp_dir tmp;
  auto store = open_notebook_store(tmp.str());
  notebook_fields fields{"k", "v", true};

  apply_frame_input(fields, *store, click_on({0, 0, 10, 10}));
  EXPECT_TRUE(fields.value_focused) << "a click elsewhere keeps the focus";
  apply_frame_input(fields, *store, click_on(KEY_BOX));
  EXPECT_FALSE(fields.value_focused);
  apply_frame_input(fields, *store, {false, -1, -1, false, false, "ey"});
  EXPECT_EQ(fields.key, "key");

  apply_frame_input(fields, *store, click_on(KEY_BOX, true, true));
  EXPECT_TRUE(fields.value_focused) << "TAB after a click in the key box";
  apply_frame_input(fields, *store, {false, -1, -1, false, true, "!"});
  EXPECT_EQ(fields.value, "!");

  // A click needs a press: a pointer over a box does nothing by itself.
  apply_frame_input(fields, *store, click_on(KEY_BOX, false));
  EXPECT_TRUE(fields.value_focused);
}

TEST(NotebookFrame, ButtonsAndRows) {
  temp_dir tmp;
  auto store = open_notebook_store(tmp.str());
  notebook_fields fields{"alpha", "one", true};
  apply_frame_input(fields, *store, click_on(SAVE_BUTTON));
  EXPECT_EQ(store->status, "Saved / commit 1");

  fields = {"missing", "kept", true};
  apply_frame_input(fields, *store, click_on(LOAD_BUTTON));
  EXPECT_EQ(store->status, "Key not found");
  EXPECT_EQ(fields.value, "kept");
  fields.key = "alpha";
  apply_frame_input(fields, *store, click_on(LOAD_BUTTON));
  EXPECT_EQ(store->status, "Loaded saved value");
  EXPECT_EQ(fields.value, "one");

  for (int i = 0; i < 10; ++i) ASSERT_TRUE(store->save("k" + std::to_string(i), "v" + std::to_string(i)));
  EXPECT_EQ(visible_rows(store->database)[0]->key, "alpha");
  apply_frame_input(fields, *store, click_on(row_click_rect(7)));
  EXPECT_EQ(fields.key, "k6");
  EXPECT_EQ(fields.value, "v6");
  // The bottom 6 px of a row are drawn but not clickable; a ninth row does not exist.
  fields = {"x", "y", true};
  apply_frame_input(fields, *store, {true, 100, row_rect(0).y + 40, false, false, {}});
  apply_frame_input(fields, *store, click_on(row_click_rect(8)));
  EXPECT_EQ(fields.key, "x");

  fields = {"alpha", "", true};
  apply_frame_input(fields, *store, click_on(DELETE_BUTTON));
  EXPECT_EQ(store->status, "Deleted");
  EXPECT_EQ(visible_rows(store->database)[0]->key, "k0") << "rows follow the reopened list";
}

TEST(NotebookFrame, SeedingAndStartValues) {
  temp_dir tmp;
  auto fresh = open_notebook_store(tmp.file("fresh"));
  seed_notebook(*fresh);
  EXPECT_EQ(fresh->status, "Saved / commit 2");
  const notebook_fields start = initial_fields(*fresh);
  EXPECT_EQ(start.key, "welcome");
  EXPECT_EQ(start.value, "A small idea, safely kept.");
  EXPECT_TRUE(start.value_focused);

  auto other = open_notebook_store(tmp.file("other"));
  ASSERT_TRUE(other->save("mine", "1"));
  seed_notebook(*other);
  EXPECT_EQ(other->database.generation, 1) << "a database with a live record is not seeded";
  EXPECT_EQ(initial_fields(*other).value, "");
}

}  // namespace
}  // namespace orvi
