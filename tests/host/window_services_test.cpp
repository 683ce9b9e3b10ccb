// Pointer lock confinement and the accessibility entry on real windows.
#include "host/accessibility.hpp"
#include "host/host_runtime.hpp"
#include "host/pointer_lock.hpp"
#include "tests/host/test_window.hpp"

#include <gtest/gtest.h>

#include <array>

namespace orvi {
namespace {

using edges = std::array<LONG, 4>;

edges client_on_screen(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return {client.left, client.top, client.right, client.bottom};
}

edges cursor_clip() {
  RECT clip{};
  EXPECT_TRUE(GetClipCursor(&clip));
  return {clip.left, clip.top, clip.right, clip.bottom};
}

edges virtual_screen() {
  const LONG x = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const LONG y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

HWND bring_to_front(HWND window) {
  SetForegroundWindow(window);
  for (int i = 0; i < 50 && GetForegroundWindow() != window; ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  return GetForegroundWindow();
}

class PointerLock : public ::testing::Test {
 protected:
  void TearDown() override {
    ClipCursor(nullptr);
    runtime.pointer_lock_window = nullptr;
    runtime.confinement_requested = 0;
    runtime.relative_mode = 0;
  }
  host_runtime& runtime = get_host_runtime();
};

TEST_F(PointerLock, ConfinesToTheClientAreaAndReleases) {
  canvas_window& window = testing::open_plain_test_window();
  ASSERT_EQ(bring_to_front(window.window), window.window);
  runtime.pointer_lock_window = window.window;
  runtime.confinement_requested = 1;
  runtime.cursor_visible = 0;
  runtime.raw_delta = 0x0000000500000007ull;

  reapply_cursor_clip(window.window);
  EXPECT_EQ(runtime.relative_mode, 1);
  EXPECT_EQ(runtime.raw_delta.load(), 0u);
  EXPECT_EQ(cursor_clip(), client_on_screen(window.window));

  release_pointer_lock(window.window);
  EXPECT_EQ(runtime.relative_mode, 0);
  EXPECT_EQ(runtime.pointer_lock_window, nullptr);
  EXPECT_EQ(runtime.confinement_requested, 0);
  EXPECT_EQ(runtime.cursor_visible, 1);
  EXPECT_EQ(cursor_clip(), virtual_screen());
}

TEST_F(PointerLock, NoConfinementWithoutRequestOrForeground) {
  canvas_window& locked = testing::open_plain_test_window();
  canvas_window& other = testing::open_plain_test_window();
  runtime.pointer_lock_window = locked.window;
  runtime.relative_mode = 1;

  ASSERT_EQ(bring_to_front(locked.window), locked.window);
  reapply_cursor_clip(locked.window);  // confinement not requested
  EXPECT_EQ(runtime.relative_mode, 0);

  runtime.confinement_requested = 1;
  ASSERT_EQ(bring_to_front(other.window), other.window);
  reapply_cursor_clip(locked.window);
  EXPECT_EQ(runtime.relative_mode, 0);
  EXPECT_EQ(cursor_clip(), virtual_screen());
  EXPECT_FALSE(clip_cursor_to_client(nullptr));
}

TEST(AccessibilityEntry, DefaultAnswerWithoutALiveRootAndNeverANullProvider) {
  canvas_window& window = testing::open_plain_test_window();
  auto& bridge = get_accessibility_bridge();
  const std::uint64_t seen = bridge.get_object_messages;
  EXPECT_EQ(SendMessageW(window.window, WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(bridge.get_object_messages, seen + 1);
  EXPECT_EQ(bridge.loaded, 0) << "nothing is loaded before a live root is asked for";

  accessibility_record& root = bridge.roots[window.id - 1];
  root.live = 1;
  root.window = window.window;
  root.provider = nullptr;
  // Wine crashes when UiaReturnRawElementProvider gets a null provider for
  // the root object id; reaching the next line means it was not called.
  EXPECT_EQ(SendMessageW(window.window, WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(bridge.requested, 1);
  EXPECT_EQ(bridge.loaded, 1);
  EXPECT_NE(bridge.entry.return_raw_element_provider, nullptr);
}

TEST(AccessibilityEntry, DestroyingAWindowClearsOnlyItsRecords) {
  canvas_window& window = testing::open_plain_test_window();
  const std::uint32_t id = window.id;
  auto& bridge = get_accessibility_bridge();
  accessibility_record& root = bridge.roots[id - 1];
  root.live = 1;
  root.window = window.window;
  root.texts = {u"name", u"role", u"kept", u"kept too"};
  bridge.window_counters64[id - 1] = 9;
  bridge.nodes[0].window_id = id;
  bridge.nodes[1].window_id = id + 1;
  bridge.nodes[0].live = bridge.nodes[1].live = 1;

  close_canvas_window(id);
  EXPECT_EQ(root.live, 0);
  EXPECT_TRUE(root.texts[0].empty());
  EXPECT_EQ(root.texts[2], u"kept");
  EXPECT_EQ(bridge.window_counters64[id - 1], 0u);
  EXPECT_EQ(bridge.nodes[0].live, 0);
  EXPECT_EQ(bridge.nodes[1].live, 1) << "another window's node stays";
}

}  // namespace
}  // namespace orvi
