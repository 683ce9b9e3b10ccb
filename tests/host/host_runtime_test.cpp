// The registry, current-window rules, stamps and closing, driven through the
// fake platform layer (no real window or GL context).
#include "host/host_runtime.hpp"

#include "runtime/errors.hpp"
#include "tests/host/fake_platform.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace orvi {
namespace {

using testing::call_log;
using testing::fake_handle;
using testing::handle_text;
using testing::log_call;

// Every fake records the handles it receives, so releases can be checked.
BOOL logged(const std::string& call) {
  log_call(call);
  return TRUE;
}
BOOL WINAPI fake_make_current(HDC dc, HGLRC rc) {
  return logged("make_current " + handle_text(dc) + " " + handle_text(rc));
}
BOOL WINAPI fake_destroy_window(HWND window) { return logged("destroy_window " + handle_text(window)); }
int WINAPI fake_release_dc(HWND window, HDC dc) {
  return logged("release_dc " + handle_text(window) + " " + handle_text(dc));
}
BOOL WINAPI fake_delete_context(HGLRC rc) { return logged("delete_context " + handle_text(rc)); }
void APIENTRY fake_delete_lists(GLuint base, GLsizei count) {
  logged("delete_lists " + std::to_string(base) + " " + std::to_string(count));
}
void APIENTRY fake_delete_textures(GLsizei, const GLuint* names) { logged("delete_texture " + std::to_string(*names)); }
BOOL WINAPI fake_delete_object(HGDIOBJ object) { return logged("delete_object " + handle_text(object)); }
BOOL WINAPI fake_delete_dc(HDC dc) { return logged("delete_dc " + handle_text(dc)); }
HGDIOBJ WINAPI fake_select_object(HDC dc, HGDIOBJ object) {
  logged("select_object " + handle_text(dc) + " " + handle_text(object));
  return object;
}

class HostRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& p = platform();
    p.wgl_make_current = &fake_make_current;
    p.destroy_window = &fake_destroy_window;
    p.release_dc = &fake_release_dc;
    p.wgl_delete_context = &fake_delete_context;
    p.gl_delete_lists = &fake_delete_lists;
    p.gl_delete_textures = &fake_delete_textures;
    p.delete_object = &fake_delete_object;
    p.delete_dc = &fake_delete_dc;
    p.select_object = &fake_select_object;
    auto& runtime = get_host_runtime();
    runtime.registry.clear();
    runtime.next_window_id = 1;
    runtime.main_window_id = 0;
    runtime.current_window_id = 0;
    runtime.pointer_lock_window = nullptr;
    get_render_resource_counts() = {};
  }

  // An open window with fake handles derived from its future id (window 100 + id,
  // device context 200 + id, GL context 300 + id); it becomes main and current.
  static std::uint32_t open_fake_window(std::uint32_t parent_id = 0) {
    const std::uint32_t id = get_host_runtime().next_window_id;
    auto window = make_canvas_window();
    window->window = fake_handle<HWND>(100 + id);
    window->device_context = fake_handle<HDC>(200 + id);
    window->gl_context = fake_handle<HGLRC>(300 + id);
    window->open = 1;
    window->parent_id = parent_id;
    const std::uint32_t registered = register_canvas_window(std::move(window));
    call_log().clear();
    return registered;
  }

  testing::scoped_platform platform_guard_;
};

// A stamp without a code keeps the previous code; sequences never repeat,
// across windows too.
TEST_F(HostRuntime, StampsTakeIncreasingSequencesAndKeepCodeWhenNone) {
  canvas_window& first = *find_canvas_window(open_fake_window());
  canvas_window& second = *find_canvas_window(open_fake_window());
  stamp_window_event(first, event_key_down);
  const std::uint64_t before = first.last_change_sequence;
  stamp_window_event(first, 0);
  EXPECT_EQ(first.last_event_code, event_key_down);
  EXPECT_EQ(first.last_change_sequence, before + 1);

  std::uint64_t last = 0;  // strictly increasing, so never repeated
  for (int i = 0; i < 200; ++i) {
    canvas_window& target = i % 3 == 0 ? second : first;
    stamp_window_event(target, i % 2 == 0 ? event_pointer_move : 0);
    EXPECT_GT(target.last_change_sequence, last);
    last = target.last_change_sequence;
  }
}

TEST_F(HostRuntime, OpenerReusesAnOpenMainWindowAndStopsAfterSixteenIds) {
  EXPECT_TRUE(begin_canvas_window_open());
  EXPECT_EQ(open_fake_window(), 1u);
  open_fake_window();  // id 2 is now main
  auto& runtime = get_host_runtime();
  EXPECT_EQ(runtime.main_window_id, 2u);
  EXPECT_EQ(runtime.current_window_id, 2u);
  runtime.current_window_id = 1;
  EXPECT_FALSE(begin_canvas_window_open());
  EXPECT_EQ(runtime.current_window_id, 2u);
  EXPECT_EQ(call_log(), std::vector<std::string>{"make_current 202 302"});

  for (int i = 2; i < 16; ++i) {
    find_canvas_window(runtime.main_window_id)->open = 0;
    ASSERT_TRUE(begin_canvas_window_open()) << i;
    open_fake_window();
  }
  find_canvas_window(16)->open = 0;
  EXPECT_FALSE(begin_canvas_window_open());
}

TEST_F(HostRuntime, ResolveFallsBackToAnOpenMainWindow) {
  open_fake_window();
  open_fake_window();
  auto& runtime = get_host_runtime();
  runtime.main_window_id = 1;
  find_canvas_window(2)->open = 0;
  EXPECT_EQ(resolve_current_window(), find_canvas_window(1));
  EXPECT_EQ(runtime.current_window_id, 1u);

  runtime.current_window_id = 2;
  find_canvas_window(1)->open = 0;
  EXPECT_EQ(resolve_current_window(), nullptr);
  EXPECT_EQ(runtime.current_window_id, 2u);
}

TEST_F(HostRuntime, RequireOpenWindowNeedsAGlContextAndNamesTheOperation) {
  const std::uint32_t id = open_fake_window();
  find_canvas_window(id)->gl_context = nullptr;
  EXPECT_THROW(require_open_window("BeginFrame"), tovi_runtime_exception);
  find_canvas_window(id)->gl_context = fake_handle<HGLRC>(301);
  EXPECT_EQ(&require_open_window("BeginFrame"), find_canvas_window(id));
  EXPECT_EQ(call_log(), std::vector<std::string>{"make_current 201 301"});

  close_canvas_window(id);
  try {
    require_open_window("MouseX");
    FAIL() << "no window, yet no exception";
  } catch (const tovi_runtime_exception& e) {
    EXPECT_EQ(e.record().code, "window.canvas");
    EXPECT_EQ(e.record().message, "window/canvas runtime window is not open for MouseX");
    EXPECT_EQ(e.record().module, "tovi_window_input_canvas");
  }
}

TEST_F(HostRuntime, ClosingAParentDestroysDirectChildrenFirstInIdOrder) {
  const std::uint32_t parent = open_fake_window();
  const std::uint32_t child_a = open_fake_window(parent);
  open_fake_window(parent);
  const std::uint32_t grandchild = open_fake_window(child_a);
  close_canvas_window(parent);

  std::vector<std::string> destroyed;
  for (const auto& call : call_log()) {
    if (call.starts_with("destroy_window ")) destroyed.push_back(call.substr(15));
  }
  EXPECT_EQ(destroyed, (std::vector<std::string>{"102", "103", "101"}));
  EXPECT_EQ(find_canvas_window(child_a)->open, 0) << "objects stay registered";
  EXPECT_EQ(find_canvas_window(grandchild)->open, 1) << "children of children are not visited";
}

TEST_F(HostRuntime, ClosingChoosesTheMainWindowIfUsableOrNone) {
  const std::uint32_t main = open_fake_window();
  const std::uint32_t other = open_fake_window();
  auto& runtime = get_host_runtime();
  runtime.main_window_id = main;
  // Unknown ids are closed like any other; 0, no window's parent, closes none.
  for (const std::uint32_t id : {9u, 0u}) {
    runtime.current_window_id = id;
    close_canvas_window(id);
    EXPECT_EQ(runtime.current_window_id, main) << id;
    EXPECT_EQ(call_log().back(), "make_current 201 301") << id;
    EXPECT_EQ(find_canvas_window(other)->open, 1) << id;
  }

  runtime.current_window_id = other;
  find_canvas_window(main)->gl_context = nullptr;
  close_canvas_window(other);
  EXPECT_EQ(runtime.current_window_id, 0u);
  EXPECT_EQ(call_log().back(), "make_current 0 0");
}

TEST_F(HostRuntime, DestroyReleasesHandlesLowersCountsAndClearsFlags) {
  canvas_window& window = *find_canvas_window(open_fake_window());
  window.focused = 1;
  window.close_requested = 1;
  window.key_presses[65] = 3;
  window.layered_dc = fake_handle<HDC>(400);
  window.layered_bitmap = fake_handle<HBITMAP>(401);
  window.layered_old_bitmap = fake_handle<HGDIOBJ>(402);
  window.layered_bytes = 4096;
  window.text_textures.push_back({"a", "b", 7});
  window.image_textures.push_back({"img", 8});
  window.spare_texture = 9;
  window.fonts[0] = {1000, fake_handle<HFONT>(500)};
  window.fonts[9] = {2000, fake_handle<HFONT>(509)};
  auto& counts = get_render_resource_counts();
  counts = {1, 1, 1, 2, 8192};
  auto& runtime = get_host_runtime();
  runtime.pointer_lock_window = window.window;
  runtime.confinement_requested = 1;
  runtime.cursor_visible = 0;

  destroy_canvas_window(window);

  const std::set<std::string> calls(call_log().begin(), call_log().end());
  for (const char* release :
       {"select_object 400 402", "delete_object 401", "delete_dc 400", "delete_texture 7", "delete_texture 8",
        "delete_texture 9", "delete_lists 1000 96", "delete_object 500", "delete_lists 2000 96", "delete_object 509",
        "delete_context 301", "release_dc 101 201", "destroy_window 101"}) {
    EXPECT_TRUE(calls.contains(release)) << release;
  }
  EXPECT_EQ(counts.text_textures, 0u);
  EXPECT_EQ(counts.image_textures, 0u);
  EXPECT_EQ(counts.spare_textures, 0u);
  EXPECT_EQ(counts.layered_bitmaps, 1u);
  EXPECT_EQ(counts.layered_bytes, 4096u);
  EXPECT_TRUE(window.text_textures.empty());
  EXPECT_TRUE(window.image_textures.empty());
  EXPECT_EQ(window.fonts[0].font, nullptr);
  EXPECT_EQ(window.layered_bitmap, nullptr);
  EXPECT_EQ(window.gl_context, nullptr);
  EXPECT_EQ(window.key_presses[65], 0);
  EXPECT_EQ(window.focused, 0);
  EXPECT_EQ(window.close_requested, 0);
  EXPECT_EQ(runtime.pointer_lock_window, nullptr);
  EXPECT_EQ(runtime.confinement_requested, 0);
  EXPECT_EQ(runtime.cursor_visible, 1);
}

}  // namespace
}  // namespace orvi
