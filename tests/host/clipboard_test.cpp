// Delayed clipboard rendering across processes under Wine. The offering side
// is the test's own: claim the clipboard, announce Unicode text without data,
// then prepare the memory and mark it pending.
#include "host/clipboard.hpp"

#include "host/host_runtime.hpp"
#include "tests/host/test_window.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace orvi {
namespace {

constexpr wchar_t offered[] = L"kept-on-the-clipboard";

void offer_delayed_text(HWND owner) {
  // Emptying first: the owner's own WM_DESTROYCLIPBOARD must come before the
  // offer is marked pending, or it would cancel it.
  ASSERT_TRUE(OpenClipboard(owner));
  ASSERT_TRUE(EmptyClipboard());
  SetClipboardData(CF_UNICODETEXT, nullptr);
  CloseClipboard();

  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(offered));
  ASSERT_NE(memory, nullptr);
  std::memcpy(GlobalLock(memory), offered, sizeof(offered));
  GlobalUnlock(memory);

  auto& state = get_delayed_clipboard();
  state = {};
  state.prepared = memory;
  state.owner = owner;
  state.pending = 1;
}

// The peer's exit code: 0 when the clipboard holds the offered text, 2 when
// it holds none.
int peer_reads_offered_text() {
  return testing::run_peer_process(L"host_clipboard_peer.exe", L"expect kept-on-the-clipboard");
}
int peer_empties_clipboard() { return testing::run_peer_process(L"host_clipboard_peer.exe", L"empty"); }

TEST(DelayedClipboard, AnotherProcessReadsTheTextThenEmptiesTheClipboard) {
  canvas_window& window = testing::open_plain_test_window();
  offer_delayed_text(window.window);
  auto& state = get_delayed_clipboard();
  render_delayed_clipboard_format(CF_TEXT);  // only Unicode text is rendered
  EXPECT_EQ(state.rendered, 0u);
  EXPECT_NE(state.prepared, nullptr);

  EXPECT_EQ(peer_reads_offered_text(), 0);
  EXPECT_EQ(state.state, clipboard_state_rendered);
  EXPECT_EQ(state.rendered, 1u);
  EXPECT_EQ(state.transitions, 1u);
  EXPECT_EQ(state.prepared, nullptr) << "the clipboard owns the memory now";
  EXPECT_EQ(state.owner, window.window);

  // The clipboard frees what it owns; the release must not free it again
  // (a double free would end this program).
  EXPECT_EQ(peer_empties_clipboard(), 0);
  EXPECT_EQ(state.state, clipboard_state_emptied);
  EXPECT_EQ(state.released, 1u);
  EXPECT_EQ(state.pending, 0);
  EXPECT_EQ(state.owner, nullptr);
  EXPECT_EQ(peer_reads_offered_text(), 2);
}

TEST(DelayedClipboard, EmptiedBeforeAnyReadFreesThePreparedText) {
  canvas_window& window = testing::open_plain_test_window();
  offer_delayed_text(window.window);
  auto& state = get_delayed_clipboard();
  EXPECT_EQ(peer_empties_clipboard(), 0);
  EXPECT_EQ(state.state, clipboard_state_emptied);
  EXPECT_EQ(state.rendered, 0u);
  EXPECT_EQ(state.prepared, nullptr);
}

TEST(DelayedClipboard, DestroyingTheOwnerPlacesTheDataFirst) {
  canvas_window& window = testing::open_plain_test_window();
  offer_delayed_text(window.window);
  auto& state = get_delayed_clipboard();
  close_canvas_window(window.id);
  EXPECT_EQ(state.state, clipboard_state_owner_destroyed);
  EXPECT_EQ(state.rendered, 1u);
  EXPECT_EQ(state.transitions, 2u);
  EXPECT_EQ(state.prepared, nullptr);
  EXPECT_EQ(state.pending, 0);
  EXPECT_EQ(peer_reads_offered_text(), 0);
}

}  // namespace
}  // namespace orvi
