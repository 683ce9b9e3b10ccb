// The registry, current-window rules, stamps and closing, driven through the
// fake platform layer (no real window or GL context).
#include "host/host_runtime.hpp"

#include "runtime/errors.hpp"
#include "tests/host/fake_platform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace orvi {
namespace {

using testing::call_log;
using testing::fake_handle;
using testing::handle_text;
using testing::log_call;

HWND foreground_window = nullptr;

BOOL WINAPI fake_make_current(HDC dc, HGLRC rc) {
  log_call("make_current " + handle_text(dc) + " " + handle_text(rc));
  return TRUE;
}
BOOL WINAPI fake_destroy_window(HWND window) {
  log_call("destroy_window " + handle_text(window));
  return TRUE;
}
int WINAPI fake_release_dc(HWND window, HDC dc) {
  log_call("release_dc " + handle_text(window) + " " + handle_text(dc));
  return 1;
}
BOOL WINAPI fake_delete_context(HGLRC rc) {
  log_call("delete_context " + handle_text(rc));
  return TRUE;
}
void APIENTRY fake_delete_lists(GLuint base, GLsizei count) {
  log_call("delete_lists " + std::to_string(base) + " " + std::to_string(count));
}
void APIENTRY fake_delete_textures(GLsizei, const GLuint* names) {
  log_call("delete_texture " + std::to_string(*names));
}
BOOL WINAPI fake_delete_object(HGDIOBJ object) {
  log_call("delete_object " + handle_text(object));
  return TRUE;
}
BOOL WINAPI fake_delete_dc(HDC dc) {
  log_call("delete_dc " + handle_text(dc));
  return TRUE;
}
HGDIOBJ WINAPI fake_select_object(HDC dc, HGDIOBJ object) {
  log_call("select_object " + handle_text(dc) + " " + handle_text(object));
  return object;
}
HWND WINAPI fake_foreground() { return foreground_window; }

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
    p.get_foreground_window = &fake_foreground;
    foreground_window = nullptr;

    auto& runtime = get_host_runtime();
    runtime.registry.clear();
    runtime.next_window_id = 1;
    runtime.main_window_id = 0;
    runtime.current_window_id = 0;
    runtime.pointer_lock_window = nullptr;
    get_render_resource_counts() = {};
    call_log().clear();
  }

  // An open window with fake handles derived from its future id (window 100 + id,
  // device context 200 + id, GL context 300 + id).
  static std::uint32_t open_fake_window(std::uint32_t parent_id = 0) {
    const std::uint32_t id = get_host_runtime().next_window_id;
    auto window = make_canvas_window();
    window->window = fake_handle<HWND>(100 + id);
    window->device_context = fake_handle<HDC>(200 + id);
    window->gl_context = fake_handle<HGLRC>(300 + id);
    window->open = 1;
    window->shown = 1;
    window->client_width = 1000;
    window->client_height = 700;
    window->parent_id = parent_id;
    return register_canvas_window(std::move(window));
  }

  static std::vector<std::string> destroyed_windows() {
    std::vector<std::string> destroyed;
    for (const auto& call : call_log()) {
      if (call.rfind("destroy_window ", 0) == 0) destroyed.push_back(call.substr(15));
    }
    return destroyed;
  }

  testing::scoped_platform platform_guard_;
};

TEST_F(HostRuntime, StampsTakeIncreasingSequencesAndKeepCodeWhenNone) {
  const std::uint32_t a = open_fake_window();
  const std::uint32_t b = open_fake_window();
  canvas_window& first = *find_canvas_window(a);
  canvas_window& second = *find_canvas_window(b);

  stamp_window_event(first, event_key_down);
  const std::uint64_t before = first.last_change_sequence;
  stamp_window_event(first, 0);
  EXPECT_EQ(first.last_event_code, event_key_down);
  EXPECT_EQ(first.last_change_sequence, before + 1);
  EXPECT_EQ(first.last_input_sequence, before + 1);
  EXPECT_EQ(first.event_args[4], before + 1);

  std::set<std::uint64_t> seen;
  std::uint64_t last = 0;
  for (int i = 0; i < 200; ++i) {
    canvas_window& target = i % 3 == 0 ? second : first;
    stamp_window_event(target, i % 2 == 0 ? event_pointer_move : 0);
    EXPECT_GT(target.last_change_sequence, last);
    last = target.last_change_sequence;
    EXPECT_TRUE(seen.insert(last).second) << "sequence repeated: " << last;
  }
  EXPECT_EQ(get_host_runtime().event_sequence, last + 1);
}

TEST_F(HostRuntime, OpenerAssignsIdsAndMakesTheWindowMainAndCurrent) {
  EXPECT_TRUE(begin_canvas_window_open());
  const std::uint32_t id = open_fake_window();
  EXPECT_EQ(id, 1u);
  const auto& runtime = get_host_runtime();
  EXPECT_EQ(runtime.next_window_id, 2u);
  EXPECT_EQ(runtime.main_window_id, 1u);
  EXPECT_EQ(runtime.current_window_id, 1u);
  EXPECT_EQ(find_canvas_window(1)->id, 1u);
  EXPECT_GT(find_canvas_window(1)->last_change_sequence, 0u);
  EXPECT_EQ(find_canvas_window(1)->last_event_code, 0u);
  EXPECT_EQ(find_canvas_window(2), nullptr);
}

TEST_F(HostRuntime, OpenerReusesAnOpenMainWindow) {
  open_fake_window();
  open_fake_window();  // id 2 is now main and current
  auto& runtime = get_host_runtime();
  runtime.current_window_id = 1;
  call_log().clear();

  EXPECT_FALSE(begin_canvas_window_open());
  EXPECT_EQ(runtime.current_window_id, 2u);
  EXPECT_EQ(call_log(), std::vector<std::string>{"make_current 202 302"});

  find_canvas_window(2)->open = 0;
  EXPECT_TRUE(begin_canvas_window_open());
}

TEST_F(HostRuntime, OpenerStopsAfterSixteenIds) {
  for (int i = 0; i < 16; ++i) {
    ASSERT_TRUE(begin_canvas_window_open());
    open_fake_window();
    find_canvas_window(get_host_runtime().main_window_id)->open = 0;
  }
  EXPECT_FALSE(begin_canvas_window_open());
  EXPECT_EQ(get_host_runtime().registry.size(), 16u);
}

TEST_F(HostRuntime, ResolveFallsBackToAnOpenMainWindow) {
  open_fake_window();
  open_fake_window();
  auto& runtime = get_host_runtime();
  runtime.main_window_id = 1;
  runtime.current_window_id = 2;
  EXPECT_EQ(resolve_current_window(), find_canvas_window(2));

  find_canvas_window(2)->open = 0;
  EXPECT_EQ(resolve_current_window(), find_canvas_window(1));
  EXPECT_EQ(runtime.current_window_id, 1u);

  runtime.current_window_id = 2;
  find_canvas_window(1)->open = 0;
  EXPECT_EQ(resolve_current_window(), nullptr);
  EXPECT_EQ(runtime.current_window_id, 2u);
}

TEST_F(HostRuntime, RequireOpenWindowNamesTheOperation) {
  try {
    require_open_window("DrawRectRgba");
    FAIL() << "no window, yet no exception";
  } catch (const tovi_runtime_exception& e) {
    EXPECT_EQ(e.record().code, "window.canvas");
    EXPECT_EQ(e.record().message, "window/canvas runtime window is not open for DrawRectRgba");
    EXPECT_EQ(e.record().module, "tovi_window_input_canvas");
    EXPECT_EQ(e.record().value, 0u);
    EXPECT_EQ(e.record().detail, "");
  }

  const std::uint32_t id = open_fake_window();
  find_canvas_window(id)->gl_context = nullptr;
  EXPECT_THROW(require_open_window("BeginFrame"), tovi_runtime_exception);

  find_canvas_window(id)->gl_context = fake_handle<HGLRC>(301);
  call_log().clear();
  EXPECT_EQ(&require_open_window("BeginFrame"), find_canvas_window(id));
  EXPECT_EQ(call_log(), std::vector<std::string>{"make_current 201 301"});
}

TEST_F(HostRuntime, ClosingAParentDestroysDirectChildrenFirstInIdOrder) {
  const std::uint32_t parent = open_fake_window();
  const std::uint32_t child_a = open_fake_window(parent);
  const std::uint32_t child_b = open_fake_window(parent);
  const std::uint32_t grandchild = open_fake_window(child_a);
  get_host_runtime().main_window_id = parent;
  call_log().clear();

  close_canvas_window(parent);

  EXPECT_EQ(destroyed_windows(), (std::vector<std::string>{"102", "103", "101"}));
  for (std::uint32_t id : {parent, child_a, child_b}) {
    const canvas_window* window = find_canvas_window(id);
    ASSERT_NE(window, nullptr) << "objects stay registered";
    EXPECT_EQ(window->open, 0);
    EXPECT_EQ(window->window, nullptr);
    EXPECT_EQ(window->device_context, nullptr);
    EXPECT_EQ(window->gl_context, nullptr);
    EXPECT_EQ(window->client_width, 0u);
    EXPECT_EQ(window->client_height, 0u);
  }
  EXPECT_EQ(find_canvas_window(grandchild)->open, 1) << "children of children are not visited";
}

TEST_F(HostRuntime, ClosingTheCurrentWindowFallsBackToTheMainWindow) {
  const std::uint32_t main = open_fake_window();
  const std::uint32_t other = open_fake_window();
  auto& runtime = get_host_runtime();
  runtime.main_window_id = main;
  runtime.current_window_id = other;
  call_log().clear();

  close_canvas_window(other);
  EXPECT_EQ(runtime.current_window_id, main);
  EXPECT_EQ(call_log().back(), "make_current 201 301");

  close_canvas_window(main);
  EXPECT_EQ(runtime.current_window_id, 0u);
  EXPECT_EQ(call_log().back(), "make_current 0 0");
  try {
    require_open_window("MouseX");
    FAIL();
  } catch (const tovi_runtime_exception& e) {
    EXPECT_EQ(e.record().message, "window/canvas runtime window is not open for MouseX");
  }
}

TEST_F(HostRuntime, ClosingChoosesNoWindowWithoutAGlContext) {
  const std::uint32_t main = open_fake_window();
  const std::uint32_t other = open_fake_window();
  auto& runtime = get_host_runtime();
  runtime.main_window_id = main;
  find_canvas_window(main)->gl_context = nullptr;
  close_canvas_window(other);
  EXPECT_EQ(runtime.current_window_id, 0u);
}

TEST_F(HostRuntime, ClosingAnUnknownIdStillChoosesTheCurrentWindow) {
  const std::uint32_t main = open_fake_window();
  auto& runtime = get_host_runtime();
  runtime.current_window_id = 9;
  call_log().clear();
  close_canvas_window(9);
  EXPECT_EQ(runtime.current_window_id, main);
  EXPECT_EQ(call_log(), std::vector<std::string>{"make_current 201 301"});
}

TEST_F(HostRuntime, DestroyReleasesEverythingInOrder) {
  const std::uint32_t id = open_fake_window();
  canvas_window& window = *find_canvas_window(id);
  window.focused = 1;
  window.close_requested = 1;
  window.key_presses[65] = 3;
  window.layered_dc = fake_handle<HDC>(400);
  window.layered_bitmap = fake_handle<HBITMAP>(401);
  window.layered_old_bitmap = fake_handle<HGDIOBJ>(402);
  window.layered_bytes = 4096;
  window.layered_width = 32;
  window.layered_height = 32;
  window.text_textures.push_back({"a", "b", 7});
  window.image_textures.push_back({"img", 8});
  window.spare_texture = 9;
  window.fonts[0] = {1000, fake_handle<HFONT>(500)};
  window.fonts[9] = {2000, fake_handle<HFONT>(509)};
  auto& counts = get_render_resource_counts();
  counts = {1, 1, 1, 2, 8192};
  get_host_runtime().pointer_lock_window = window.window;
  get_host_runtime().confinement_requested = 1;
  get_host_runtime().cursor_visible = 0;
  const std::uint64_t sequence_before = window.last_change_sequence;
  call_log().clear();

  destroy_canvas_window(window);

  const std::vector<std::string> expected{"select_object 400 402", "delete_object 401",    "delete_dc 400",
                                          "make_current 201 301",  "delete_texture 7",     "delete_texture 8",
                                          "delete_texture 9",      "delete_lists 1000 96", "delete_object 500",
                                          "delete_lists 2000 96",  "delete_object 509",    "make_current 0 0",
                                          "delete_context 301",    "release_dc 101 201",   "destroy_window 101"};
  EXPECT_EQ(call_log(), expected);
  EXPECT_EQ(counts.text_textures, 0u);
  EXPECT_EQ(counts.image_textures, 0u);
  EXPECT_EQ(counts.spare_textures, 0u);
  EXPECT_EQ(counts.layered_bitmaps, 1u);
  EXPECT_EQ(counts.layered_bytes, 4096u);
  EXPECT_TRUE(window.text_textures.empty());
  EXPECT_TRUE(window.image_textures.empty());
  EXPECT_EQ(window.fonts[0].font, nullptr);
  EXPECT_EQ(window.fonts[0].list_base, 0u);
  EXPECT_EQ(window.layered_bitmap, nullptr);
  EXPECT_EQ(window.layered_bytes, 0u);
  EXPECT_EQ(window.key_presses[65], 0);
  EXPECT_EQ(window.focused, 0);
  EXPECT_EQ(window.close_requested, 0);
  EXPECT_EQ(window.shown, 1) << "shown is left to the destroy message";
  EXPECT_GT(window.last_change_sequence, sequence_before);
  EXPECT_EQ(get_host_runtime().pointer_lock_window, nullptr);
  EXPECT_EQ(get_host_runtime().confinement_requested, 0);
  EXPECT_EQ(get_host_runtime().cursor_visible, 1);
}

TEST_F(HostRuntime, ForegroundCountsOnlyOpenRegisteredWindows) {
  const std::uint32_t id = open_fake_window();
  EXPECT_FALSE(is_canvas_foreground());
  foreground_window = fake_handle<HWND>(100 + id);
  EXPECT_TRUE(is_canvas_foreground());
  find_canvas_window(id)->open = 0;
  EXPECT_FALSE(is_canvas_foreground());
  foreground_window = fake_handle<HWND>(999);
  EXPECT_FALSE(is_canvas_foreground());
}

}  // namespace
}  // namespace orvi
