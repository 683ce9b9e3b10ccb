// Opening the notebook window: the real path on Wine, and each failing step
// with its message and what it undoes, through fakes of the platform calls.
#include <gtest/gtest.h>

#include "app/window_path.hpp"
#include "host/host_runtime.hpp"
#include "runtime/errors.hpp"
#include "tests/host/fake_platform.hpp"

namespace orvi {
namespace {

using testing::call_log;
using testing::log_call;
using testing::scoped_platform;

const std::wstring TITLE = L"Quillory / Orvi + CordvexDB";

// Real calls that note the undo steps run on the notebook's own window (the
// sRGB probe makes and cleans up an untitled hidden window of its own).
bool is_notebook(HWND window) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  return title == TITLE;
}
HGLRC notebook_context;
HGLRC WINAPI noted_create_context(HDC dc) {
  HGLRC context = wglCreateContext(dc);
  if (is_notebook(WindowFromDC(dc))) notebook_context = context;
  return context;
}
BOOL WINAPI logged_destroy(HWND window) {
  if (is_notebook(window)) log_call("destroy");
  return DestroyWindow(window);
}
int WINAPI logged_release(HWND window, HDC dc) {
  if (is_notebook(window)) log_call("release");
  return ReleaseDC(window, dc);
}
BOOL WINAPI logged_delete_context(HGLRC context) {
  if (context == notebook_context) log_call("delete-context");
  return wglDeleteContext(context);
}

TEST(OpenCanvasWindow, EachFailingStepUndoesWhatItMade) {
  struct failing_step {
    void (*fake)();
    const char* message;
    const char* undone;
  };
  const failing_step steps[] = {
      {[] {
         platform().create_window_ex_w = [](DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                                            LPVOID) -> HWND { return nullptr; };
       },
       "failed to create window/canvas window", ""},
      {[] { platform().get_dc = [](HWND) -> HDC { return nullptr; }; },
       "failed to acquire window/canvas device context", "destroy"},
      {[] { platform().describe_pixel_format = [](HDC, int, UINT, LPPIXELFORMATDESCRIPTOR) { return 0; }; },
       "failed to describe strict sRGB window/canvas pixel format", "release destroy"},
      {[] { platform().set_pixel_format = [](HDC, int, const PIXELFORMATDESCRIPTOR*) -> BOOL { return FALSE; }; },
       "failed to configure window/canvas OpenGL pixel format", "release destroy"},
      {[] { platform().wgl_make_current = [](HDC, HGLRC) -> BOOL { return FALSE; }; },
       "failed to activate window/canvas OpenGL context", "delete-context release destroy"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.message);
    scoped_platform fakes;
    call_log().clear();
    notebook_context = nullptr;
    platform().wgl_create_context = noted_create_context;
    platform().destroy_window = logged_destroy;
    platform().release_dc = logged_release;
    platform().wgl_delete_context = logged_delete_context;
    step.fake();
    const std::uint32_t next_id = get_host_runtime().next_window_id;
    try {
      open_canvas_window();
      ADD_FAILURE() << "the window opened";
    } catch (const tovi_runtime_exception& e) {
      EXPECT_EQ(e.record().code, "window.canvas");
      EXPECT_EQ(e.record().module, "tovi_window_input_canvas");
      EXPECT_EQ(e.record().message, step.message);
    }
    EXPECT_EQ(get_host_runtime().next_window_id, next_id) << "nothing registered";
    std::string undone;
    for (const auto& call : call_log()) undone += (undone.empty() ? "" : " ") + call;
    EXPECT_EQ(undone, step.undone);
  }
}

TEST(OpenCanvasWindow, OpensOnceAndClosesEverything) {
  open_canvas_window();
  auto& runtime = get_host_runtime();
  canvas_window* window = find_canvas_window(runtime.main_window_id);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(runtime.current_window_id, window->id);
  EXPECT_TRUE(window->open && window->shown && window->caption_buttons && window->client_chrome);
  EXPECT_TRUE(is_notebook(window->window)) << "the title";
  RECT client;
  GetClientRect(window->window, &client);
  EXPECT_EQ(client.right, 1000);
  EXPECT_EQ(client.bottom, 700);

  // While the main window is open, opening again only makes it current.
  const std::uint32_t next_id = runtime.next_window_id;
  runtime.current_window_id = 0;
  open_canvas_window();
  EXPECT_EQ(runtime.next_window_id, next_id);
  EXPECT_EQ(runtime.current_window_id, window->id);

  HWND handle = window->window;
  close_all_windows();
  EXPECT_EQ(runtime.main_window_id, 0u);
  EXPECT_EQ(runtime.current_window_id, 0u);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(window->open);
}

}  // namespace
}  // namespace orvi
