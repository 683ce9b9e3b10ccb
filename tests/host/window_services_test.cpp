// Pointer lock confinement and the accessibility entry on real windows.
#include "host/accessibility.hpp"
#include "host/host_runtime.hpp"
#include "host/pointer_lock.hpp"
#include "tests/host/test_window.hpp"
#include "tests/support/desktop_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace orvi {
namespace {

using edges = std::array<LONG, 4>;

edges client_on_screen(HWND window) {
  RECT c;
  GetClientRect(window, &c);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&c), 2);
  return {c.left, c.top, c.right, c.bottom};
}
edges cursor_clip() {
  RECT c{};
  EXPECT_TRUE(GetClipCursor(&c));
  return {c.left, c.top, c.right, c.bottom};
}
edges virtual_screen() {
  const LONG x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

TEST(PointerLock, ConfinesOnlyWhenRequestedAndInFrontAndReleases) {
  canvas_window& locked = testing::open_test_window();
  canvas_window& other = testing::open_test_window();
  host_runtime& runtime = get_host_runtime();
  runtime.pointer_lock_window = locked.window;
  runtime.relative_mode = 1;
  ASSERT_TRUE(testing::bring_to_front(locked.window));
  reapply_cursor_clip(locked.window);  // confinement not requested
  EXPECT_EQ(runtime.relative_mode, 0);

  runtime.confinement_requested = 1;
  ASSERT_TRUE(testing::bring_to_front(other.window));
  reapply_cursor_clip(locked.window);  // not in front
  EXPECT_EQ(runtime.relative_mode, 0);
  EXPECT_EQ(cursor_clip(), virtual_screen());
  EXPECT_FALSE(clip_cursor_to_client(nullptr));

  ASSERT_TRUE(testing::bring_to_front(locked.window));
  runtime.cursor_visible = 0;
  runtime.raw_delta = 0x0000000500000007ull;
  reapply_cursor_clip(locked.window);
  EXPECT_EQ(runtime.relative_mode, 1);
  EXPECT_EQ(runtime.raw_delta.load(), 0u);
  EXPECT_EQ(cursor_clip(), client_on_screen(locked.window));

  release_pointer_lock(locked.window);
  EXPECT_EQ(std::make_tuple(runtime.relative_mode, runtime.pointer_lock_window, runtime.confinement_requested,
                            runtime.cursor_visible),
            std::make_tuple(0, nullptr, 0, 1));
  EXPECT_EQ(cursor_clip(), virtual_screen());
}

TEST(AccessibilityEntry, NoNullProviderAndDestroyingAWindowClearsOnlyItsRecords) {
  canvas_window& window = testing::open_test_window();
  const std::uint32_t id = window.id;
  auto& bridge = get_accessibility_bridge();
  const std::uint64_t seen = bridge.get_object_messages;
  EXPECT_EQ(SendMessageW(window.window, WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(bridge.get_object_messages, seen + 1);
  EXPECT_EQ(bridge.loaded, 0) << "nothing is loaded before a live root is asked for";

  accessibility_record& root = bridge.roots[id - 1];
  root = {.window = window.window, .live = 1, .texts = {u"name", u"role", u"kept", u"kept too"}};
  // Wine crashes when UiaReturnRawElementProvider gets a null provider for
  // the root object id; reaching the next line means it was not called.
  EXPECT_EQ(SendMessageW(window.window, WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(std::make_tuple(bridge.requested, bridge.loaded), std::make_tuple(1, 1));
  EXPECT_NE(bridge.entry.return_raw_element_provider, nullptr);

  bridge.window_counters64[id - 1] = 9;
  bridge.nodes[0] = {.window_id = id, .live = 1, .texts = {}};
  bridge.nodes[1] = {.window_id = id + 1, .live = 1, .texts = {}};
  close_canvas_window(id);
  EXPECT_EQ(root.live, 0);
  EXPECT_TRUE(root.texts[0].empty());
  EXPECT_EQ(root.texts[2], u"kept");
  EXPECT_EQ(bridge.window_counters64[id - 1], 0u);
  EXPECT_EQ(std::make_tuple(bridge.nodes[0].live, bridge.nodes[1].live), std::make_tuple(0, 1))
      << "another window's node stays";
}

}  // namespace
}  // namespace orvi
