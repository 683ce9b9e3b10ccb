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

using testing::pixel_at;
using testing::rgb;
using testing::temp_dir;

constexpr rgb as_rgb(const ui_color& c) { return {c.r, c.g, c.b}; }
constexpr POINT center(const ui_rect& r) { return {r.x + r.w / 2, r.y + r.h / 2}; }
// Where row r shows its colour.
rgb row_colour(HWND window, std::size_t r) { return pixel_at(window, 300, row_rect(r).y + 3); }

class notebook_session {
 public:
  explicit notebook_session(const temp_dir& dir)
      : process_((SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", to_platform_path(dir.str())->c_str()),
                  SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", nullptr), L"..\\..\\app\\quillory.exe"),
                 L"") {
    window = process_.wait_for_window(L"orvi_window_input_canvas_window");
    // The first frame is on the screen.
    for (int i = 0; window && i < 1000 && pixel_at(window, 5, 5) != as_rgb(BACKGROUND); ++i) Sleep(10);
    settle();
  }

  // Returns once the program has drawn a frame that began after everything
  // sent to it so far: the pointer goes onto "Load" and off again, and each
  // move shows only in a frame drawn after it. Independent of the machine's pace.
  void settle() {
    for (const auto& [at, load] : std::initializer_list<std::pair<POINT, ui_color>>{
             {center(LOAD_BUTTON), SECONDARY_HOVER}, {{990, 690}, SECONDARY}}) {
      testing::move_mouse(window, at.x, at.y);
      for (int i = 0; window && i < 1000 && pixel_at(window, 670, 452) != as_rgb(load); ++i) Sleep(5);
    }
  }
  // Each input is let be seen before the next, as a person's pace does: keys
  // are counted presses taken one per frame, while typed text arrives whole.
  void click(POINT at, DWORD hold_ms = 40, DWORD button = MOUSEEVENTF_LEFTDOWN) {
    testing::click(window, at.x, at.y, hold_ms, button);
    settle();
  }
  void key(WORD virtual_key) { testing::press_key(virtual_key), settle(); }
  void type(const std::wstring& text) { testing::type_text(text), settle(); }

  // ESC ends the program; its exit status.
  DWORD escape() { return testing::press_key(VK_ESCAPE), wait(); }
  DWORD wait() { return process_.wait(10000); }
  std::string errors() { return process_.errors(); }

  HWND window = nullptr;

 private:
  testing::child_process process_;
};

store_record read_back(const temp_dir& dir) {
  return decode_snapshot(read_file_bounded(snapshot_path(dir.str()), MAX_SNAPSHOT_FILE_BYTES), dir.str());
}

TEST(NotebookWindow, FreshDirectoryIsSeededAndShown) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr) << "the window never showed";
  // Colours at fixed points (the mouse is away from every button): the
  // background, the panel, both boxes, Save and Load, the value field's focus
  // line, and two rows, "welcome" (the key field's, primary) and "next".
  const std::tuple<int, int, ui_color> colours[] = {{10, 10, BACKGROUND},
                                                    {40, 600, PANEL_COLOR},
                                                    {920, 240, BOX_COLOR},
                                                    {920, 395, BOX_COLOR},
                                                    {500, 452, PRIMARY},
                                                    {670, 452, SECONDARY},
                                                    {600, VALUE_UNDERLINE.y, FOCUS_COLOR},
                                                    {600, KEY_UNDERLINE.y, BACKGROUND},
                                                    {300, row_rect(0).y + 3, PRIMARY},
                                                    {300, row_rect(1).y + 3, SECONDARY},
                                                    {300, row_rect(2).y + 3, PANEL_COLOR}};
  for (const auto& [x, y, colour] : colours) EXPECT_EQ(pixel_at(app.window, x, y), as_rgb(colour)) << x << "," << y;
  EXPECT_EQ(app.escape(), 0u);
  const store_record saved = read_back(dir);
  EXPECT_EQ(std::make_tuple(saved.generation, store_get(saved, "welcome").value, store_get(saved, "next").value),
            std::make_tuple(2, "A small idea, safely kept.", "Build something useful with Orvi."));

  // A restart shows the saved records, now in key order, and seeds nothing.
  notebook_session again(dir);
  ASSERT_NE(again.window, nullptr);
  EXPECT_EQ(std::make_tuple(row_colour(again.window, 0), row_colour(again.window, 1)),
            std::make_tuple(as_rgb(SECONDARY), as_rgb(PRIMARY)))
      << "next, welcome";
  EXPECT_EQ(again.escape(), 0u);
  EXPECT_EQ(read_back(dir).generation, 2);
}

TEST(NotebookWindow, EditingSavingLoadingAndDeleting) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);
  // Focus the key field, replace "welcome" by "caf\u00e9", then trim the
  // two-byte character with one BACKSPACE and put it back.
  app.click(center(KEY_BOX));
  EXPECT_EQ(pixel_at(app.window, 600, KEY_UNDERLINE.y), as_rgb(FOCUS_COLOR));
  for (int i = 0; i < 7; ++i) app.key(VK_BACK);
  app.type(L"caf\u00e9\u00e9");
  app.key(VK_BACK);
  app.key(VK_TAB);  // to the value field
  app.type(L"\t typed");
  app.click(center(SAVE_BUTTON));
  // Load of a missing key keeps the value; saving then stores it there.
  app.key(VK_TAB);
  app.type(L"2");
  app.click(center(LOAD_BUTTON));
  app.click(center(SAVE_BUTTON));
  // A row click copies key and value; delete that record.
  app.click({100, row_click_rect(1).y + 10});  // "next"
  app.click(center(DELETE_BUTTON));
  EXPECT_EQ(app.escape(), 0u);

  const store_record saved = read_back(dir);
  EXPECT_EQ(saved.generation, 5);
  for (const char* key : {"caf\xC3\xA9",
                          "caf\xC3\xA9"
                          "2"})
    EXPECT_EQ(store_get(saved, key).value, "A small idea, safely kept. typed") << key;
  EXPECT_EQ(std::make_tuple(store_get(saved, "next").found, store_get(saved, "welcome").found), std::make_tuple(0, 1));
}

TEST(NotebookWindow, ClicksShortAndHeldAndTheRightButtonNone) {
  temp_dir dir;
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);
  // The right button clicks nothing: not a row, not Delete, not Save.
  for (const ui_rect& target : {row_click_rect(1), DELETE_BUTTON, SAVE_BUTTON})
    app.click(center(target), 40, MOUSEEVENTF_RIGHTDOWN);
  EXPECT_EQ(std::make_tuple(row_colour(app.window, 0), row_colour(app.window, 1)),
            std::make_tuple(as_rgb(PRIMARY), as_rgb(SECONDARY)))
      << "welcome, still the key field's; next";
  // Presses far shorter than a frame still click; one held over many frames saves once.
  for (DWORD hold : {0, 0, 0, 0, 20, 400}) app.click(center(SAVE_BUTTON), hold);
  EXPECT_EQ(app.escape(), 0u);
  const store_record saved = read_back(dir);
  EXPECT_EQ(std::make_tuple(saved.generation, live_entry_count(saved)), std::make_tuple(2 + 5 + 1, 2));
}

TEST(NotebookWindow, OnlyEightRowsAndARestartShowsTheRecords) {
  temp_dir dir;
  store_record store = open_store(dir.str());
  for (int i = 0; i < 10; ++i) store_put(store, "k" + std::to_string(i), "v" + std::to_string(i));
  ASSERT_TRUE(commit_store(store));
  notebook_session app(dir);
  ASSERT_NE(app.window, nullptr);
  EXPECT_EQ(std::make_tuple(row_colour(app.window, 7), row_colour(app.window, 8)),
            std::make_tuple(as_rgb(SECONDARY), as_rgb(PANEL_COLOR)))
      << "no ninth row";
  // Where a ninth row would be, a click copies nothing: typing still edits
  // the value of "welcome".
  app.click({100, row_click_rect(8).y + 10});
  app.type(L"!");
  app.click(center(SAVE_BUTTON));
  EXPECT_EQ(app.escape(), 0u);
  const store_record saved = read_back(dir);
  EXPECT_EQ(std::make_tuple(store_get(saved, "welcome").value, store_get(saved, "k8").value),
            std::make_tuple("!", "v8"))
      << "not seeded: the key field starts empty-valued";
}

TEST(NotebookWindow, TheCloseBoxOrACloseAtAnyMomentOfAFrameEndsNormally) {
  temp_dir dir;
  {
    notebook_session app(dir);
    ASSERT_NE(app.window, nullptr);
    // The close box, found by asking the window itself where it is.
    RECT outer;
    GetWindowRect(app.window, &outer);
    POINT box{-1, -1};
    for (int x = outer.right - 2; x > outer.right - 120 && box.x < 0; --x)
      for (int y = outer.top + 2; y < outer.top + 40 && box.x < 0; y += 2)
        if (SendMessageW(app.window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) box = {x, y};
    ASSERT_GE(box.x, 0) << "no close box found";
    ScreenToClient(app.window, &box);
    testing::click(app.window, box.x, box.y);
    EXPECT_EQ(std::make_tuple(app.wait(), app.errors()), std::make_tuple(0u, ""));
  }
  // Most of a frame is drawing, whose every call pumps messages: closes sent
  // at staggered moments land inside the drawing as well as between frames.
  for (DWORD delay : {0, 7, 13, 21}) {
    notebook_session app(dir);
    ASSERT_NE(app.window, nullptr);
    Sleep(delay);
    PostMessageW(app.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(std::make_tuple(app.wait(), app.errors()), std::make_tuple(0u, "")) << delay;
  }
}

}  // namespace
}  // namespace orvi
