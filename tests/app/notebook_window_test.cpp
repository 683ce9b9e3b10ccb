// The notebook window. Opening it: the real path on Wine, and each failing
// step with its message and what it undoes, through fakes of the platform
// calls. And the real quillory.exe, driven through its environment and, in its
// window, as a person would: real clicks and keys through SendInput, pixels
// read from the screen, and the database files on disk read back after it ended.
#include <gtest/gtest.h>

#include "app/window_path.hpp"
#include "host/host_runtime.hpp"
#include "runtime/errors.hpp"
#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/host/fake_platform.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/desktop_input.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {

// Real calls that log the undo steps run on the notebook's own window (the
// sRGB probe makes and cleans up an untitled hidden window of its own).
bool is_notebook(HWND window) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  return title == std::wstring(L"Quillory / Orvi + CordvexDB");
}
HGLRC notebook_context;
void log_if(bool on_notebook, const char* call) {
  if (on_notebook) testing::log_call(call);
}

TEST(OpenCanvasWindow, EachFailingStepUndoesWhatItMadeThenItOpensOnce) {
  auto& runtime = get_host_runtime();
  // The failing call, its message and the undo calls.
  const std::tuple<void (*)(), const char*, const char*> steps[] = {
      {[] { platform().create_window_ex_w = [](auto...) -> HWND { return nullptr; }; },
       "failed to create window/canvas window", ""},
      {[] { platform().get_dc = [](auto...) -> HDC { return nullptr; }; },
       "failed to acquire window/canvas device context", " destroy"},
      {[] { platform().describe_pixel_format = [](auto...) { return 0; }; },
       "failed to describe strict sRGB window/canvas pixel format", " release destroy"},
      {[] { platform().set_pixel_format = [](auto...) -> BOOL { return FALSE; }; },
       "failed to configure window/canvas OpenGL pixel format", " release destroy"},
      {[] { platform().wgl_make_current = [](auto...) -> BOOL { return FALSE; }; },
       "failed to activate window/canvas OpenGL context", " delete-context release destroy"},
  };
  for (const auto& [fail, message, undone] : steps) {
    SCOPED_TRACE(message);
    testing::scoped_platform fakes;
    testing::call_log().clear();
    platform().wgl_create_context = [](HDC dc) {
      HGLRC context = wglCreateContext(dc);
      if (is_notebook(WindowFromDC(dc))) notebook_context = context;
      return context;
    };
    platform().destroy_window = [](HWND w) { return log_if(is_notebook(w), "destroy"), DestroyWindow(w); };
    platform().release_dc = [](HWND w, HDC dc) { return log_if(is_notebook(w), "release"), ReleaseDC(w, dc); };
    platform().wgl_delete_context = [](HGLRC rc) {
      return log_if(rc == notebook_context, "delete-context"), wglDeleteContext(rc);
    };
    fail();
    const std::uint32_t next_id = runtime.next_window_id;
    try {
      open_canvas_window();
      ADD_FAILURE() << "the window opened";
    } catch (const tovi_runtime_exception& e) {
      EXPECT_EQ(std::tie(e.record().code, e.record().module, e.record().message),
                std::make_tuple("window.canvas", "tovi_window_input_canvas", message));
    }
    EXPECT_EQ(runtime.next_window_id, next_id) << "nothing registered";
    std::string calls;
    for (const auto& call : testing::call_log()) calls += " " + call;
    EXPECT_EQ(calls, undone);
  }

  // Without fakes it opens the notebook's window, once, and closes everything.
  open_canvas_window();
  canvas_window* window = find_canvas_window(runtime.main_window_id);
  ASSERT_NE(window, nullptr);
  RECT client;
  GetClientRect(window->window, &client);
  EXPECT_EQ(std::make_tuple(runtime.current_window_id,
                            window->open && window->shown && window->caption_buttons && window->client_chrome,
                            is_notebook(window->window), client.right, client.bottom),
            std::make_tuple(window->id, true, true, 1000, 700));
  // While the main window is open, opening again only makes it current.
  const std::uint32_t next_id = runtime.next_window_id;
  runtime.current_window_id = 0;
  open_canvas_window();
  EXPECT_EQ(std::make_tuple(runtime.next_window_id, runtime.current_window_id), std::make_tuple(next_id, window->id));
  HWND handle = window->window;
  close_all_windows();
  EXPECT_EQ(std::make_tuple(runtime.main_window_id, runtime.current_window_id, IsWindow(handle), window->open),
            std::make_tuple(0u, 0u, FALSE, 0));
}

std::wstring wide(const text& path) { return to_platform_path(path)->wstring(); }
constexpr POINT center(const ui_rect& r) { return {r.x + r.w / 2, r.y + r.h / 2}; }
constexpr testing::rgb as_rgb(const ui_color& c) { return {c.r, c.g, c.b}; }

// The program started in `work` with both variables set (null: unset).
testing::child_process quillory(const wchar_t* data, const wchar_t* test, const testing::temp_dir& work) {
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", data);
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", test);
  return testing::child_process(L"..\\..\\app\\quillory.exe", L"", wide(work.str()));
}

// The self-test: the exit status, output and errors.
std::tuple<DWORD, std::string, std::string> self_test(const wchar_t* data, const testing::temp_dir& work) {
  testing::child_process child = quillory(data, L"1", work);
  const DWORD status = child.wait();
  return {status, child.output(), child.errors()};
}

// The program in its window, once the first frame is on the screen.
struct notebook_session {
  notebook_session(const wchar_t* data, const wchar_t* test, const testing::temp_dir& work)
      : process(quillory(data, test, work)), window(process.wait_for_window(L"orvi_window_input_canvas_window")) {
    for (int i = 0; window && i < 1000 && colour(5, 5) != as_rgb(BACKGROUND); ++i) Sleep(10);
    settle();
  }
  testing::rgb colour(int x, int y) const { return testing::pixel_at(window, x, y); }

  // Returns once the program has drawn a frame that began after everything
  // sent to it so far: the pointer goes onto "Load" and off again, and each
  // move shows only in a frame drawn after it. Independent of the machine's pace.
  void settle() {
    for (const auto& [at, load] : {std::pair{center(LOAD_BUTTON), SECONDARY_HOVER}, {POINT{990, 690}, SECONDARY}}) {
      testing::move_mouse(window, at.x, at.y);
      for (int i = 0; window && i < 1000 && colour(670, 452) != as_rgb(load); ++i) Sleep(5);
    }
  }
  // Each input is let be seen before the next, as a person's pace does: keys
  // are counted presses taken one per frame, while typed text arrives whole.
  void click(POINT at, DWORD hold_ms = 40, DWORD button = MOUSEEVENTF_LEFTDOWN) {
    testing::click(window, at.x, at.y, hold_ms, button), settle();
  }
  void key(WORD virtual_key) { testing::press_key(virtual_key), settle(); }
  void type(const std::wstring& text) { testing::type_text(text), settle(); }
  // The exit status and errors once the program ended.
  std::tuple<DWORD, std::string> ended() {
    const DWORD status = process.wait(10000);
    return {status, process.errors()};
  }

  testing::child_process process;
  HWND window;
};

// A notebook's life, with no data directory set: the data is kept under the
// working directory; any ORVI_EXAMPLE_TEST but exactly "1" opens the window.
TEST(Quillory, FreshUseSelfTestsAndRestart) {
  testing::temp_dir work;
  const text data = work.file("data/notebook");
  {
    notebook_session app(nullptr, L"1 ", work);
    ASSERT_NE(app.window, nullptr) << "the window never showed";
    // Seeded and shown: the background, the panel, both boxes, Save and Load,
    // the value field's focus line (not the key field's), and two rows,
    // "welcome" (the key field's, primary) and "next", and no third.
    EXPECT_EQ(std::make_tuple(app.colour(10, 10), app.colour(40, 600), app.colour(920, 240), app.colour(920, 395),
                              app.colour(500, 452), app.colour(670, 452)),
              std::make_tuple(as_rgb(BACKGROUND), as_rgb(PANEL_COLOR), as_rgb(BOX_COLOR), as_rgb(BOX_COLOR),
                              as_rgb(PRIMARY), as_rgb(SECONDARY)));
    EXPECT_EQ(std::make_tuple(app.colour(600, VALUE_UNDERLINE.y), app.colour(600, KEY_UNDERLINE.y),
                              app.colour(300, row_rect(0).y + 3), app.colour(300, row_rect(1).y + 3),
                              app.colour(300, row_rect(2).y + 3)),
              std::make_tuple(as_rgb(FOCUS_COLOR), as_rgb(BACKGROUND), as_rgb(PRIMARY), as_rgb(SECONDARY),
                              as_rgb(PANEL_COLOR)));
    // The right button clicks nothing: not the row "next", not Delete, not Save.
    for (const ui_rect& target : {row_click_rect(1), DELETE_BUTTON, SAVE_BUTTON})
      app.click(center(target), 40, MOUSEEVENTF_RIGHTDOWN);
    // Presses far shorter than a frame still click; one held over many frames saves once.
    for (DWORD hold : {0, 0, 0, 0, 20, 400}) app.click(center(SAVE_BUTTON), hold);
    // Focus the key field, replace "welcome" by "caf\u00e9", then trim the
    // two-byte character with one BACKSPACE and put it back.
    app.click(center(KEY_BOX));
    EXPECT_EQ(app.colour(600, KEY_UNDERLINE.y), as_rgb(FOCUS_COLOR));
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
    testing::press_key(VK_ESCAPE);
    EXPECT_EQ(app.ended(), std::make_tuple(0u, ""));
  }
  store_record saved = open_store(data);
  EXPECT_EQ(std::make_tuple(saved.generation, store_get(saved, "next").found, store_get(saved, "welcome").value),
            std::make_tuple(2 + 6 + 3, 0, "A small idea, safely kept."))
      << "seeding, six clicks on Save, two saves and a delete";
  for (const char* key : {"caf\u00e9", "caf\u00e92"})
    EXPECT_EQ(store_get(saved, key).value, "A small idea, safely kept. typed") << key;

  // A write-ahead copy with seven more records, as a crash leaves it, is
  // recovered before the self-test's own save and delete, which leave other
  // records alone, run after run.
  for (int i = 0; i < 7; ++i) store_put(saved, "x" + std::to_string(i), "v");
  ++saved.generation;
  ASSERT_TRUE(write_file_bytes(wal_path(data), encode_snapshot(saved)));
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(self_test(nullptr, work), std::make_tuple(0u, "quillory-sample: pass\r\n", ""));
  saved = open_store(data);
  EXPECT_EQ(std::make_tuple(saved.generation, live_entry_count(saved), store_get(saved, "x6").value),
            std::make_tuple(12 + 4, 10, "v"));

  // A restart shows the records, in key order and only eight: "welcome" as
  // the key field's, and no ninth row, where a click copies nothing.
  {
    notebook_session app(L"", L"true", work);
    ASSERT_NE(app.window, nullptr);
    for (const auto& [row, colour] : {std::pair{1, SECONDARY}, {2, PRIMARY}, {7, SECONDARY}, {8, PANEL_COLOR}})
      EXPECT_EQ(app.colour(300, row_rect(row).y + 3), as_rgb(colour)) << row;
    app.click({100, row_click_rect(8).y + 10});
    app.type(L"!");
    app.click(center(SAVE_BUTTON));
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
    EXPECT_EQ(app.ended(), std::make_tuple(0u, ""));
  }
  saved = open_store(data);
  EXPECT_EQ(std::make_tuple(saved.generation, store_get(saved, "welcome").value, store_get(saved, "next").found),
            std::make_tuple(17, "A small idea, safely kept.!", 0))
      << "one save, nothing seeded";

  // A failing self-test names its check, or the error.
  ASSERT_TRUE(write_file_bytes(work.file("file"), {}));
  EXPECT_EQ(self_test(wide(work.file("file")).c_str(), work), std::make_tuple(2u, "", "commit\r\n"));
  ASSERT_TRUE(write_file_bytes(snapshot_path(data), byte_vector(MAX_SNAPSHOT_FILE_BYTES + 1, 0)));
  const auto [status, out, err] = self_test(nullptr, work);
  EXPECT_EQ(status, 1u);
  EXPECT_TRUE(err.starts_with("file.read.limit: file exceeds maximum byte count: ") &&
              err.ends_with("/store.cordvex\r\n"))
      << err;
}

// Most of a frame is drawing, whose every call pumps messages: closes sent
// at staggered moments land inside the drawing as well as between frames.
TEST(Quillory, ACloseAtAnyMomentOfAFrameEndsNormally) {
  testing::temp_dir work;
  for (DWORD delay : {0, 7, 13, 21}) {
    notebook_session app(nullptr, nullptr, work);
    ASSERT_NE(app.window, nullptr);
    Sleep(delay);
    PostMessageW(app.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.ended(), std::make_tuple(0u, "")) << delay;
  }
}

}  // namespace orvi
