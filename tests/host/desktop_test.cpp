// What canvas windows share with the rest of the desktop, on real windows:
// the input method, real input in the background, pointer lock, delayed
// clipboard rendering to another process, and the accessibility entry. Keys
// and clicks in front are driven end to end in the notebook window's test.
#include "host/accessibility.hpp"
#include "host/clipboard.hpp"
#include "host/input_queries.hpp"
#include "host/pointer_lock.hpp"

#include "tests/host/test_window.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/desktop_input.hpp"

#include <gtest/gtest.h>
#include <imm.h>

#include <array>
#include <cstring>
#include <tuple>

namespace orvi {
namespace {

using testing::bring_to_front;
using testing::pump_until;
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

TEST(Desktop, InputMethodBackgroundInputAndPointerLock) {
  canvas_window& other = testing::open_test_window();
  canvas_window& front = testing::open_test_window(320, 240, testing::test_gl::strict_srgb);  // main and current
  host_runtime& runtime = get_host_runtime();
  ASSERT_TRUE(bring_to_front(front.window));
  ASSERT_TRUE(pump_until([&] { return front.focused != 0; }));

  // The input method fills the preedit, then the typed text.
  HIMC context = ImmGetContext(front.window);
  ASSERT_NE(context, nullptr);
  const std::uint64_t revision = front.preedit_revision;
  wchar_t composing[] = L"h\u00e9";
  ImmSetCompositionStringW(context, SCS_SETSTR, composing, sizeof(composing) - sizeof(wchar_t), nullptr, 0);
  EXPECT_TRUE(pump_until([&] { return front.preedit_text == "h\xC3\xA9"; })) << front.preedit_text;
  EXPECT_EQ(std::make_tuple(front.preedit_active, front.preedit_revision > revision), std::make_tuple(1, true));
  ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
  EXPECT_TRUE(pump_until([&] { return front.typed_text == "h\xC3\xA9"; })) << front.typed_text;
  EXPECT_EQ(std::make_tuple(front.preedit_active, front.preedit_text), std::make_tuple(0, ""));
  ImmReleaseContext(front.window, context);

  runtime.pointer_lock_window = front.window;
  runtime.relative_mode = 1;
  reapply_cursor_clip(front.window);  // confinement not requested
  EXPECT_EQ(runtime.relative_mode, 0);

  // Not confined while another window is in front, even one of this program.
  runtime.confinement_requested = 1;
  ASSERT_TRUE(bring_to_front(other.window));
  reapply_cursor_clip(front.window);
  EXPECT_EQ(std::make_tuple(runtime.relative_mode, cursor_clip()), std::make_tuple(0, virtual_screen()));
  EXPECT_FALSE(clip_cursor_to_client(nullptr));
  // With no window of this program in front the cursor reads -1 and presses
  // are kept for later: focus alone is not enough.
  HWND stranger = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(bring_to_front(stranger));
  front.key_presses['J'] = front.focused = 1;
  EXPECT_EQ(std::make_tuple(mouse_x(), mouse_y(), key_pressed_by_name("j"), front.key_presses['J']),
            std::make_tuple(-1, -1, false, 1));
  DestroyWindow(stranger);

  ASSERT_TRUE(bring_to_front(front.window));
  runtime.cursor_visible = 0;
  runtime.raw_delta = 0x0000000500000007ull;
  reapply_cursor_clip(front.window);
  EXPECT_EQ(std::make_tuple(runtime.relative_mode, runtime.raw_delta.load(), cursor_clip()),
            std::make_tuple(1, 0u, client_on_screen(front.window)));
  release_pointer_lock(front.window);
  EXPECT_EQ(std::make_tuple(runtime.relative_mode, runtime.pointer_lock_window, runtime.confinement_requested,
                            runtime.cursor_visible, cursor_clip()),
            std::make_tuple(0, nullptr, 0, 1, virtual_screen()));
}

constexpr wchar_t offered[] = L"kept-on-the-clipboard";
constexpr const wchar_t* read_text = L"expect kept-on-the-clipboard";

// Claims the clipboard, announces Unicode text without data, then prepares the
// memory and marks it pending. Emptying first: the owner's own
// WM_DESTROYCLIPBOARD must come before the offer is pending, or it would cancel it.
delayed_clipboard_state& offer_delayed_text(HWND owner) {
  EXPECT_TRUE(OpenClipboard(owner) && EmptyClipboard());
  SetClipboardData(CF_UNICODETEXT, nullptr);
  CloseClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(offered));
  std::memcpy(GlobalLock(memory), offered, sizeof(offered));
  GlobalUnlock(memory);
  return get_delayed_clipboard() = {.pending = 1, .owner = owner, .prepared = memory};
}

// The peer's exit code, this thread answering the clipboard's messages
// meanwhile: for "expect", 0 when the clipboard holds the offered text, 2 when none.
DWORD peer(const wchar_t* arguments) {
  return testing::child_process(L"host_clipboard_peer.exe", arguments).wait(20000, true);
}

// State, rendered, released, transitions, pending, whether the text is still ours.
auto summary(const delayed_clipboard_state& s) {
  return std::make_tuple(s.state, s.rendered, s.released, s.transitions, s.pending, s.prepared != nullptr);
}

// The clipboard is rendered when read, released when emptied, read or not,
// and rendered when its owner closes. Closing a window also clears its
// accessibility records.
TEST(Desktop, DelayedClipboardAndAccessibilityRecords) {
  canvas_window& window = testing::open_test_window();
  auto& state = offer_delayed_text(window.window);
  render_delayed_clipboard_format(CF_TEXT);  // only Unicode text is rendered
  EXPECT_EQ(summary(state), std::make_tuple(0, 0u, 0u, 0u, 1, true));
  EXPECT_EQ(peer(read_text), 0u);
  EXPECT_EQ(summary(state), std::make_tuple(clipboard_state_rendered, 1u, 0u, 1u, 1, false));
  EXPECT_EQ(state.owner, window.window);
  // The clipboard frees what it owns; the release must not free it again
  // (a double free would end this program).
  EXPECT_EQ(peer(L"empty"), 0u);
  EXPECT_EQ(std::make_tuple(summary(state), state.owner),
            std::make_tuple(std::make_tuple(clipboard_state_emptied, 1u, 1u, 2u, 0, false), nullptr));
  EXPECT_EQ(peer(read_text), 2u);
  offer_delayed_text(window.window);
  EXPECT_EQ(peer(L"empty"), 0u);
  EXPECT_EQ(summary(state), std::make_tuple(clipboard_state_emptied, 0u, 1u, 1u, 0, false));
  offer_delayed_text(window.window);

  const std::uint32_t id = window.id;
  auto& bridge = get_accessibility_bridge();
  const std::uint64_t seen = bridge.get_object_messages;
  EXPECT_EQ(SendMessageW(window.window, WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(std::make_tuple(bridge.get_object_messages, bridge.loaded), std::make_tuple(seen + 1, 0))
      << "nothing is loaded before a live root is asked for";
  accessibility_record& root = bridge.roots[id - 1];
  root = {.window = window.window, .live = 1, .texts = {u"name", u"role", u"kept", u"kept too"}};
  // Wine crashes when UiaReturnRawElementProvider gets a null provider for
  // the root object id; reaching the next line means it was not called.
  EXPECT_EQ(SendMessageW(window.window, WM_GETOBJECT, 0, OBJID_CLIENT), 0);
  EXPECT_EQ(std::make_tuple(bridge.requested, bridge.loaded, bridge.entry.return_raw_element_provider != nullptr),
            std::make_tuple(1, 1, true));
  bridge.window_counters64[id - 1] = 9;
  bridge.nodes[0] = {.window_id = id, .live = 1, .texts = {}};
  bridge.nodes[1] = {.window_id = id + 1, .live = 1, .texts = {}};

  close_canvas_window(id);
  EXPECT_EQ(summary(state), std::make_tuple(clipboard_state_owner_destroyed, 1u, 0u, 2u, 0, false));
  EXPECT_EQ(peer(read_text), 0u);
  EXPECT_EQ(std::make_tuple(root.live, root.texts[0], root.texts[2], bridge.window_counters64[id - 1]),
            std::make_tuple(0, u"", u"kept", 0u));
  EXPECT_EQ(std::make_tuple(bridge.nodes[0].live, bridge.nodes[1].live), std::make_tuple(0, 1))
      << "another window's node stays";
}

}  // namespace
}  // namespace orvi
