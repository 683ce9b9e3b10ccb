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

// Every fake records the handles it receives, so releases can be checked.
BOOL logged(const std::string& call) { return testing::log_call(call), TRUE; }
std::string h(const void* handle) { return " " + std::to_string(reinterpret_cast<std::uintptr_t>(handle)); }

class HostRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& p = platform();
    p.wgl_make_current = [](HDC dc, HGLRC rc) { return logged("make_current" + h(dc) + h(rc)); };
    p.destroy_window = [](HWND window) { return logged("destroy_window" + h(window)); };
    p.release_dc = [](HWND window, HDC dc) -> int { return logged("release_dc" + h(window) + h(dc)); };
    p.wgl_delete_context = [](HGLRC rc) { return logged("delete_context" + h(rc)); };
    p.gl_delete_lists = [](GLuint base, GLsizei n) {
      logged("delete_lists " + std::to_string(base) + " " + std::to_string(n));
    };
    p.gl_delete_textures = [](GLsizei, const GLuint* names) { logged("delete_texture " + std::to_string(*names)); };
    p.delete_object = [](HGDIOBJ object) { return logged("delete_object" + h(object)); };
    p.delete_dc = [](HDC dc) { return logged("delete_dc" + h(dc)); };
    p.select_object = [](HDC dc, HGDIOBJ object) { return logged("select_object" + h(dc) + h(object)), object; };
    runtime.registry.clear();
    runtime.next_window_id = 1;
    runtime.main_window_id = runtime.current_window_id = 0;
    get_render_resource_counts() = {};
  }

  // An open window with fake handles derived from its future id (window 100 + id,
  // device context 200 + id, GL context 300 + id); it becomes main and current.
  static canvas_window& open_fake_window(std::uint32_t parent_id = 0) {
    const std::uint32_t id = get_host_runtime().next_window_id;
    auto window = make_canvas_window();
    window->window = fake_handle<HWND>(100 + id);
    window->device_context = fake_handle<HDC>(200 + id);
    window->gl_context = fake_handle<HGLRC>(300 + id);
    window->open = 1;
    window->parent_id = parent_id;
    canvas_window& registered = *find_canvas_window(register_canvas_window(std::move(window)));
    call_log().clear();
    return registered;
  }

  testing::scoped_platform platform_guard_;
  host_runtime& runtime = get_host_runtime();
};

// Each stamp takes the next sequence, across windows too; a stamp without a
// code keeps the previous code.
TEST_F(HostRuntime, StampsTakeTheNextSequenceAndKeepTheCodeWhenNone) {
  canvas_window* windows[] = {&open_fake_window(), &open_fake_window()};
  std::uint64_t last = windows[1]->last_change_sequence;
  for (std::uint64_t i = 0; i < 200; ++i) {
    canvas_window& target = *windows[i % 3 == 0];
    const std::uint64_t code = i % 2 ? event_pointer_move + i : 0, kept = code ? code : target.last_event_code;
    stamp_window_event(target, code);
    EXPECT_EQ(std::make_tuple(target.last_change_sequence, target.last_event_code), std::make_tuple(++last, kept));
  }
}

TEST_F(HostRuntime, OpenerReusesAnOpenMainWindowAndStopsAfterSixteenIds) {
  EXPECT_TRUE(begin_canvas_window_open());
  EXPECT_EQ(open_fake_window().id, 1u);
  open_fake_window();  // id 2 is now main
  EXPECT_EQ(std::tie(runtime.main_window_id, runtime.current_window_id), std::make_tuple(2u, 2u));
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

TEST_F(HostRuntime, ResolveAndRequireAnOpenWindowWithAGlContext) {
  canvas_window& first = open_fake_window();
  canvas_window& second = open_fake_window();
  runtime.main_window_id = 1;
  second.open = 0;
  EXPECT_EQ(resolve_current_window(), &first) << "falls back to an open main window";
  EXPECT_EQ(runtime.current_window_id, 1u);
  first.gl_context = nullptr;
  EXPECT_THROW(require_open_window("BeginFrame"), tovi_runtime_exception);
  first.gl_context = fake_handle<HGLRC>(301);
  call_log().clear();
  EXPECT_EQ(&require_open_window("BeginFrame"), &first);
  EXPECT_EQ(call_log(), std::vector<std::string>{"make_current 201 301"});

  runtime.current_window_id = 2;
  first.open = 0;
  EXPECT_EQ(resolve_current_window(), nullptr);
  EXPECT_EQ(runtime.current_window_id, 2u);
}

TEST_F(HostRuntime, ClosingDestroysDirectChildrenFirstThenChoosesTheMainWindowIfUsable) {
  const std::uint32_t parent = open_fake_window().id;
  canvas_window& child = open_fake_window(parent);
  open_fake_window(parent);
  canvas_window& grandchild = open_fake_window(child.id);
  canvas_window& other = open_fake_window();
  close_canvas_window(parent);
  std::vector<std::string> destroyed;
  for (const auto& call : call_log())
    if (call.starts_with("destroy_window ")) destroyed.push_back(call.substr(15));
  EXPECT_EQ(destroyed, (std::vector<std::string>{"102", "103", "101"})) << "children in id order";
  EXPECT_EQ(std::make_tuple(child.open, grandchild.open), std::make_tuple(0, 1)) << "no grandchildren";

  runtime.main_window_id = other.id;
  // Unknown ids are closed like any other; 0, no window's parent, closes none.
  for (const std::uint32_t id : {9u, 0u}) {
    runtime.current_window_id = id;
    close_canvas_window(id);
    EXPECT_EQ(std::make_tuple(runtime.current_window_id, call_log().back(), other.open, grandchild.open),
              std::make_tuple(other.id, "make_current 205 305", 1, 1))
        << id;
  }
  runtime.current_window_id = grandchild.id;
  other.gl_context = nullptr;
  close_canvas_window(grandchild.id);
  EXPECT_EQ(std::make_tuple(runtime.current_window_id, call_log().back()), std::make_tuple(0u, "make_current 0 0"));
}

TEST_F(HostRuntime, DestroyReleasesHandlesLowersCountsAndClearsFlags) {
  canvas_window& window = open_fake_window();
  window.focused = window.close_requested = window.key_presses[65] = 1;
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
  runtime.pointer_lock_window = window.window;
  runtime.confinement_requested = 1;
  runtime.cursor_visible = 0;

  destroy_canvas_window(window);
  EXPECT_EQ(
      std::set<std::string>(call_log().begin(), call_log().end()),
      (std::set<std::string>{"select_object 400 402", "delete_object 401", "delete_dc 400", "delete_texture 7",
                             "delete_texture 8", "delete_texture 9", "delete_lists 1000 96", "delete_object 500",
                             "delete_lists 2000 96", "delete_object 509", "delete_context 301", "release_dc 101 201",
                             "destroy_window 101", "make_current 201 301", "make_current 0 0"}));
  EXPECT_EQ(std::make_tuple(counts.text_textures, counts.image_textures, counts.spare_textures, counts.layered_bitmaps,
                            counts.layered_bytes, window.text_textures.size(), window.image_textures.size()),
            std::make_tuple(0u, 0u, 0u, 1u, 4096u, 0u, 0u));
  EXPECT_EQ(std::make_tuple(window.fonts[0].font, window.layered_bitmap, window.gl_context, window.key_presses[65],
                            window.focused, window.close_requested),
            std::make_tuple(nullptr, nullptr, nullptr, 0, 0, 0));
  EXPECT_EQ(std::make_tuple(runtime.pointer_lock_window, runtime.confinement_requested, runtime.cursor_visible),
            std::make_tuple(nullptr, 0, 1));
}

}  // namespace
}  // namespace orvi
