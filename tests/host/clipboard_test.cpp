// Delayed clipboard rendering across processes under Wine. The offering side
// is the test's own: claim the clipboard, announce Unicode text without data,
// then prepare the memory and mark it pending.
#include "host/clipboard.hpp"

#include "host/host_runtime.hpp"
#include "tests/host/test_window.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace orvi {
namespace {

constexpr wchar_t offered[] = L"kept-on-the-clipboard";

delayed_clipboard_state& offer_delayed_text(HWND owner) {
  // Emptying first: the owner's own WM_DESTROYCLIPBOARD must come before the
  // offer is marked pending, or it would cancel it.
  EXPECT_TRUE(OpenClipboard(owner) && EmptyClipboard());
  SetClipboardData(CF_UNICODETEXT, nullptr);
  CloseClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(offered));
  std::memcpy(GlobalLock(memory), offered, sizeof(offered));
  GlobalUnlock(memory);
  auto& state = get_delayed_clipboard();
  state = {.pending = 1, .owner = owner, .prepared = memory};
  return state;
}

// The peer's exit code, this thread answering the clipboard's messages
// meanwhile: for "expect", 0 when the clipboard holds the offered text, 2 when none.
DWORD peer(const wchar_t* arguments) {
  testing::child_process child(L"host_clipboard_peer.exe", arguments);
  return child.wait(20000, true);
}
constexpr const wchar_t* read_text = L"expect kept-on-the-clipboard";

// State, rendered, released, transitions, pending, whether the text is still ours.
auto summary(const delayed_clipboard_state& s) {
  return std::make_tuple(s.state, s.rendered, s.released, s.transitions, s.pending, s.prepared != nullptr);
}

TEST(DelayedClipboard, ReadThenEmptiedEmptiedUnreadAndOwnerDestroyed) {
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
  EXPECT_EQ(summary(state), std::make_tuple(clipboard_state_emptied, 1u, 1u, 2u, 0, false));
  EXPECT_EQ(state.owner, nullptr);
  EXPECT_EQ(peer(read_text), 2u);

  offer_delayed_text(window.window);
  EXPECT_EQ(peer(L"empty"), 0u);
  EXPECT_EQ(summary(state), std::make_tuple(clipboard_state_emptied, 0u, 1u, 1u, 0, false));

  offer_delayed_text(window.window);
  close_canvas_window(window.id);
  EXPECT_EQ(summary(state), std::make_tuple(clipboard_state_owner_destroyed, 1u, 0u, 2u, 0, false));
  EXPECT_EQ(peer(read_text), 0u);
}

}  // namespace
}  // namespace orvi
