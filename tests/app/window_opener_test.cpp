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

// Real calls that also note which undo steps ran on the notebook's own
// window (the sRGB probe makes and cleans up a hidden window of its own).
struct notebook_handles {
  HWND window = nullptr;
  HDC dc = nullptr;
  HGLRC context = nullptr;
} made;

HWND WINAPI noted_create(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int w, int h,
                         HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  HWND window = CreateWindowExW(ex_style, class_name, title, style, x, y, w, h, parent, menu, instance, param);
  if (title && std::wstring(title) == L"Quillory / Orvi + CordvexDB") made.window = window;
  return window;
}
HDC WINAPI noted_get_dc(HWND window) {
  HDC dc = GetDC(window);
  if (window == made.window) made.dc = dc;
  return dc;
}
HGLRC WINAPI noted_create_context(HDC dc) {
  HGLRC context = wglCreateContext(dc);
  if (dc == made.dc) made.context = context;
  return context;
}
BOOL WINAPI logged_destroy(HWND window) {
  if (window == made.window) log_call("destroy");
  return DestroyWindow(window);
}
int WINAPI logged_release(HWND window, HDC dc) {
  if (window == made.window) log_call("release");
  return ReleaseDC(window, dc);
}
BOOL WINAPI logged_delete_context(HGLRC context) {
  if (context == made.context) log_call("delete-context");
  return wglDeleteContext(context);
}

// Replaced entries of a case go in after these.
void note_undo_steps() {
  call_log().clear();
  made = {};
  auto& os = platform();
  os.create_window_ex_w = noted_create;
  os.get_dc = noted_get_dc;
  os.wgl_create_context = noted_create_context;
  os.destroy_window = logged_destroy;
  os.release_dc = logged_release;
  os.wgl_delete_context = logged_delete_context;
}

std::string open_failure() {
  const std::uint32_t next_id = get_host_runtime().next_window_id;
  try {
    open_canvas_window();
  } catch (const tovi_runtime_exception& e) {
    EXPECT_EQ(e.record().code, "window.canvas");
    EXPECT_EQ(e.record().module, "tovi_window_input_canvas");
    EXPECT_EQ(get_host_runtime().next_window_id, next_id) << "nothing registered";
    return e.record().message;
  }
  ADD_FAILURE() << "the window opened";
  return {};
}

std::string undone() {
  std::string steps;
  for (const auto& call : call_log()) steps += (steps.empty() ? "" : " ") + call;
  return steps;
}

TEST(OpenCanvasWindow, EachFailingStepUndoesWhatItMade) {
  {
    scoped_platform fakes;
    note_undo_steps();
    platform().create_window_ex_w = [](DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                                       LPVOID) -> HWND { return nullptr; };
    EXPECT_EQ(open_failure(), "failed to create window/canvas window");
    EXPECT_EQ(undone(), "");
  }
  {
    scoped_platform fakes;
    note_undo_steps();
    platform().get_dc = [](HWND) -> HDC { return nullptr; };
    EXPECT_EQ(open_failure(), "failed to acquire window/canvas device context");
    EXPECT_EQ(undone(), "destroy");
  }
  {
    scoped_platform fakes;
    note_undo_steps();
    platform().describe_pixel_format = [](HDC, int, UINT, LPPIXELFORMATDESCRIPTOR) { return 0; };
    EXPECT_EQ(open_failure(), "failed to describe strict sRGB window/canvas pixel format");
    EXPECT_EQ(undone(), "release destroy");
  }
  {
    // Without the sRGB extension the legacy choice is made, and refused here.
    scoped_platform fakes;
    note_undo_steps();
    platform().wgl_get_proc_address = [](LPCSTR) -> PROC { return nullptr; };
    platform().choose_pixel_format = [](HDC, const PIXELFORMATDESCRIPTOR*) { return 0; };
    EXPECT_EQ(open_failure(), "failed to configure window/canvas OpenGL pixel format");
    EXPECT_EQ(undone(), "release destroy");
  }
  {
    scoped_platform fakes;
    note_undo_steps();
    platform().set_pixel_format = [](HDC, int, const PIXELFORMATDESCRIPTOR*) -> BOOL { return FALSE; };
    EXPECT_EQ(open_failure(), "failed to configure window/canvas OpenGL pixel format");
    EXPECT_EQ(undone(), "release destroy");
  }
  {
    scoped_platform fakes;
    note_undo_steps();
    platform().wgl_make_current = [](HDC, HGLRC) -> BOOL { return FALSE; };
    EXPECT_EQ(open_failure(), "failed to activate window/canvas OpenGL context");
    EXPECT_EQ(undone(), "delete-context release destroy");
  }
}

TEST(OpenCanvasWindow, OpensOnceAndClosesEverything) {
  open_canvas_window();
  auto& runtime = get_host_runtime();
  canvas_window* window = find_canvas_window(runtime.main_window_id);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(runtime.current_window_id, window->id);
  EXPECT_TRUE(window->open && window->shown && window->caption_buttons && window->client_chrome);
  EXPECT_NE(window->fonts[9].list_base, 0u);
  RECT client;
  GetClientRect(window->window, &client);
  EXPECT_EQ(client.right, 1000);
  EXPECT_EQ(client.bottom, 700);
  wchar_t title[64];
  GetWindowTextW(window->window, title, 64);
  EXPECT_EQ(std::wstring(title), L"Quillory / Orvi + CordvexDB");

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
