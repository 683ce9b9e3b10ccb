// The real quillory.exe in its window, used as a person would: real clicks and
// keys through SendInput, pixels read from the screen, and the database files
// on disk read back after the program ended.
#include <gtest/gtest.h>

#include "app/notebook_ui.hpp"
#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/desktop_input.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::child_process;
using testing::click;
using testing::pixel_at;
using testing::press_key;
using testing::rgb;
using testing::temp_dir;
using testing::type_text;

constexpr rgb as_rgb(const ui_color& c) { return {c.r, c.g, c.b}; }
constexpr int center_x(const ui_rect& r) { return r.x + r.w / 2; }
constexpr int center_y(const ui_rect& r) { return r.y + r.h / 2; }

// Returns once the program has drawn a frame that began after everything
// sent to it so far: the pointer goes onto "Load" and off again, and each
// move shows only in a frame drawn after it. Independent of the machine's pace.
void settle(HWND window) {
  const struct {
    int x, y;
    ui_color load;
  } moves[] = {{center_x(LOAD_BUTTON), center_y(LOAD_BUTTON), SECONDARY_HOVER}, {990, 690, SECONDARY}};
  for (const auto& move : moves) {
    testing::move_mouse(window, move.x, move.y);
    for (int i = 0; i < 1000 && pixel_at(window, 670, 452) != as_rgb(move.load); ++i) Sleep(5);
  }
}

class notebook_session {
 public:
  explicit notebook_session(const temp_dir& dir)
      : process_(
            (SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", std::filesystem::path(*to_platform_path(dir.str())).c_str()),
             SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", nullptr), L"..\\..\\app\\quillory.exe"),
            L"") {
    window = process_.wait_for_window(L"orvi_window_input_canvas_window");
    // The first frame is on the screen.
    for (int i = 0; window && i < 1000 && pixel_at(window, 5, 5) != as_rgb(BACKGROUND); ++i) Sleep(10);
    if (window) settle(window);
  }

  // ESC ends the program; its exit status.
  DWORD escape() {
    press_key(VK_ESCAPE);
    return wait();
  }
  DWORD wait() { return process_.wait(10000); }
  std::string errors() { return process_.errors(); }

  HWND window = nullptr;

 private:
  child_process process_;
};

store_record read_back(const temp_dir& dir) {
  return decode_snapshot(read_file_bounded(snapshot_path(dir.str()), MAX_SNAPSHOT_FILE_BYTES), dir.str());
}

TEST(NotebookWindow, FreshDirectoryIsSeededAndShown) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr) << "the window never showed";
  // Colours at fixed points (the mouse is away from every button).
  settle(app.window);
  EXPECT_EQ(pixel_at(app.window, 10, 10), as_rgb(BACKGROUND));
  EXPECT_EQ(pixel_at(app.window, 40, 600), as_rgb(PANEL_COLOR));
  EXPECT_EQ(pixel_at(app.window, 920, 240), as_rgb(BOX_COLOR));
  EXPECT_EQ(pixel_at(app.window, 920, 395), as_rgb(BOX_COLOR));
  EXPECT_EQ(pixel_at(app.window, 500, 452), as_rgb(PRIMARY)) << "Save";
  EXPECT_EQ(pixel_at(app.window, 670, 452), as_rgb(SECONDARY)) << "Load";
  EXPECT_EQ(pixel_at(app.window, 600, VALUE_UNDERLINE.y), as_rgb(FOCUS_COLOR)) << "the value field has the focus";
  EXPECT_EQ(pixel_at(app.window, 600, KEY_UNDERLINE.y), as_rgb(BACKGROUND));
  // Two rows: "welcome" (the key field's, primary) and "next".
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(0).y + 3), as_rgb(PRIMARY));
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(1).y + 3), as_rgb(SECONDARY));
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(2).y + 3), as_rgb(PANEL_COLOR));
  EXPECT_EQ(app.escape(), 0u);

  const store_record saved = read_back(dir);
  EXPECT_EQ(saved.generation, 2);
  EXPECT_EQ(store_get(saved, "welcome").value, "A small idea, safely kept.");
  EXPECT_EQ(store_get(saved, "next").value, "Build something useful with Orvi.");

  // A restart shows the saved records, now in key order, and seeds nothing.
  notebook_session again(dir);
  ASSERT_NE(again.window, nullptr);
  settle(again.window);
  EXPECT_EQ(pixel_at(again.window, 300, row_rect(0).y + 3), as_rgb(SECONDARY)) << "next";
  EXPECT_EQ(pixel_at(again.window, 300, row_rect(1).y + 3), as_rgb(PRIMARY)) << "welcome";
  EXPECT_EQ(again.escape(), 0u);
  EXPECT_EQ(read_back(dir).generation, 2);
}

TEST(NotebookWindow, EditingSavingLoadingAndDeleting) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);

  // Focus the key field, replace "welcome" by "caf\u00e9", then trim the
  // two-byte character with one BACKSPACE and put it back.
  click(app.window, center_x(KEY_BOX), center_y(KEY_BOX));
  settle(app.window);
  EXPECT_EQ(pixel_at(app.window, 600, KEY_UNDERLINE.y), as_rgb(FOCUS_COLOR));
  // Keys are counted presses taken one per frame while typed text arrives
  // whole: let each be seen before the next, as a person's pace does.
  for (int i = 0; i < 7; ++i) {
    press_key(VK_BACK);
    settle(app.window);
  }
  type_text(L"caf\u00e9\u00e9");
  settle(app.window);
  press_key(VK_BACK);
  settle(app.window);
  press_key(VK_TAB);  // to the value field
  settle(app.window);
  type_text(L"\t typed");
  settle(app.window);
  click(app.window, center_x(SAVE_BUTTON), center_y(SAVE_BUTTON));
  settle(app.window);

  // Load of a missing key keeps the value; saving then stores it there.
  press_key(VK_TAB);
  settle(app.window);
  type_text(L"2");
  settle(app.window);
  click(app.window, center_x(LOAD_BUTTON), center_y(LOAD_BUTTON));
  settle(app.window);
  click(app.window, center_x(SAVE_BUTTON), center_y(SAVE_BUTTON));
  settle(app.window);

  // A row click copies key and value; delete that record.
  click(app.window, 100, row_click_rect(1).y + 10);  // "next"
  settle(app.window);
  click(app.window, center_x(DELETE_BUTTON), center_y(DELETE_BUTTON));
  settle(app.window);
  EXPECT_EQ(app.escape(), 0u);

  const store_record saved = read_back(dir);
  EXPECT_EQ(saved.generation, 5);
  EXPECT_EQ(store_get(saved, "caf\xC3\xA9").value, "A small idea, safely kept. typed");
  EXPECT_EQ(store_get(saved,
                      "caf\xC3\xA9"
                      "2")
                .value,
            "A small idea, safely kept. typed");
  EXPECT_FALSE(store_get(saved, "next").found);
  EXPECT_TRUE(store_get(saved, "welcome").found);
}

TEST(NotebookWindow, ClicksShortAndHeld) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);
  // The right button clicks nothing: not a row, not Delete, not Save.
  for (const ui_rect& target : {row_click_rect(1), DELETE_BUTTON, SAVE_BUTTON}) {
    click(app.window, center_x(target), center_y(target), 40, MOUSEEVENTF_RIGHTDOWN);
    settle(app.window);
  }
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(0).y + 3), as_rgb(PRIMARY)) << "welcome, still the key field's";
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(1).y + 3), as_rgb(SECONDARY)) << "next";
  // Presses far shorter than a frame still click.
  for (DWORD hold : {0, 0, 0, 0, 20}) {
    click(app.window, center_x(SAVE_BUTTON), center_y(SAVE_BUTTON), hold);
    settle(app.window);
  }
  settle(app.window);
  // A press held over many frames saves once.
  click(app.window, center_x(SAVE_BUTTON), center_y(SAVE_BUTTON), 400);
  settle(app.window);
  EXPECT_EQ(app.escape(), 0u);
  const store_record saved = read_back(dir);
  EXPECT_EQ(saved.generation, 2 + 5 + 1);
  EXPECT_EQ(live_entry_count(saved), 2);
}

TEST(NotebookWindow, OnlyEightRowsAndARestartShowsTheRecords) {
  temp_dir dir;
  {
    store_record store = open_store(dir.str());
    for (int i = 0; i < 10; ++i) store_put(store, "k" + std::to_string(i), "v" + std::to_string(i));
    ASSERT_TRUE(commit_store(store));
  }
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);
  settle(app.window);
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(7).y + 3), as_rgb(SECONDARY));
  EXPECT_EQ(pixel_at(app.window, 300, row_rect(8).y + 3), as_rgb(PANEL_COLOR)) << "no ninth row";
  // Where a ninth row would be, a click copies nothing: typing still edits
  // the value of "welcome".
  click(app.window, 100, row_click_rect(8).y + 10);
  type_text(L"!");
  settle(app.window);
  click(app.window, center_x(SAVE_BUTTON), center_y(SAVE_BUTTON));
  settle(app.window);
  EXPECT_EQ(app.escape(), 0u);
  const store_record saved = read_back(dir);
  EXPECT_EQ(store_get(saved, "welcome").value, "!") << "not seeded: the key field starts empty-valued";
  EXPECT_EQ(store_get(saved, "k8").value, "v8");
}

// Finds the close box by asking the window itself where it is.
POINT close_box(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  for (int x = outer.right - 2; x > outer.right - 120; --x) {
    for (int y = outer.top + 2; y < outer.top + 40; y += 2) {
      if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) return {x, y};
    }
  }
  return {-1, -1};
}

TEST(NotebookWindow, CloseBoxEndsTheProgramNormally) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);
  const POINT box = close_box(app.window);
  ASSERT_GE(box.x, 0) << "no close box found";
  SetCursorPos(box.x, box.y);
  Sleep(20);
  testing::send_mouse(MOUSEEVENTF_LEFTDOWN);
  Sleep(40);
  testing::send_mouse(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(app.wait(), 0u);
  EXPECT_EQ(app.errors(), "");
}

TEST(NotebookWindow, ClosedAtAnyMomentOfAFrameEndsNormally) {
  // Most of a frame is drawing, whose every call pumps messages: closes sent
  // at staggered moments land inside the drawing as well as between frames.
  for (DWORD delay : {0, 7, 13, 21}) {
    temp_dir dir;
    notebook_session app(dir);
    ASSERT_NE(app.window, nullptr);
    Sleep(delay);
    PostMessageW(app.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.wait(), 0u) << delay;
    EXPECT_EQ(app.errors(), "") << delay;
  }
}

}  // namespace
}  // namespace orvi
