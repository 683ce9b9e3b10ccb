// Opening the notebook window: the real path on Wine, and each failing step
// with its message and what it undoes, through fakes of the platform calls.
#include <gtest/gtest.h>

#include "app/window_path.hpp"
#include "host/host_runtime.hpp"
#include "runtime/errors.hpp"
#include "tests/host/fake_platform.hpp"

namespace orvi {
namespace {

using testing::log_call;

// Real calls that note the undo steps run on the notebook's own window (the
// sRGB probe makes and cleans up an untitled hidden window of its own).
bool is_notebook(HWND window) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  return title == std::wstring(L"Quillory / Orvi + CordvexDB");
}
HGLRC notebook_context;
void note(bool on_notebook, const char* call) {
  if (on_notebook) log_call(call);
}

TEST(OpenCanvasWindow, EachFailingStepUndoesWhatItMade) {
  const std::tuple<void (*)(), const char*, const char*> steps[] = {
      {[] {
         platform().create_window_ex_w = [](DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                                            LPVOID) -> HWND { return nullptr; };
       },
       "failed to create window/canvas window", ""},
      {[] { platform().get_dc = [](HWND) -> HDC { return nullptr; }; },
       "failed to acquire window/canvas device context", " destroy"},
      {[] { platform().describe_pixel_format = [](HDC, int, UINT, LPPIXELFORMATDESCRIPTOR) { return 0; }; },
       "failed to describe strict sRGB window/canvas pixel format", " release destroy"},
      {[] { platform().set_pixel_format = [](HDC, int, const PIXELFORMATDESCRIPTOR*) -> BOOL { return FALSE; }; },
       "failed to configure window/canvas OpenGL pixel format", " release destroy"},
      {[] { platform().wgl_make_current = [](HDC, HGLRC) -> BOOL { return FALSE; }; },
       "failed to activate window/canvas OpenGL context", " delete-context release destroy"},
  };
  for (const auto& [fake, message, undone] : steps) {
    SCOPED_TRACE(message);
    testing::scoped_platform fakes;
    testing::call_log().clear();
    notebook_context = nullptr;
    platform().wgl_create_context = [](HDC dc) {
      HGLRC context = wglCreateContext(dc);
      if (is_notebook(WindowFromDC(dc))) notebook_context = context;
      return context;
    };
    platform().destroy_window = [](HWND w) { return note(is_notebook(w), "destroy"), DestroyWindow(w); };
    platform().release_dc = [](HWND w, HDC dc) { return note(is_notebook(w), "release"), ReleaseDC(w, dc); };
    platform().wgl_delete_context = [](HGLRC rc) {
      return note(rc == notebook_context, "delete-context"), wglDeleteContext(rc);
    };
    fake();
    const std::uint32_t next_id = get_host_runtime().next_window_id;
    try {
      open_canvas_window();
      ADD_FAILURE() << "the window opened";
    } catch (const tovi_runtime_exception& e) {
      EXPECT_EQ(std::tie(e.record().code, e.record().module, e.record().message),
                std::make_tuple("window.canvas", "tovi_window_input_canvas", message));
    }
    EXPECT_EQ(get_host_runtime().next_window_id, next_id) << "nothing registered";
    std::string calls;
    for (const auto& call : testing::call_log()) calls += " " + call;
    EXPECT_EQ(calls, undone);
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
  EXPECT_EQ(std::make_tuple(client.right, client.bottom), std::make_tuple(1000, 700));

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

}  // namespace
}  // namespace orvi
