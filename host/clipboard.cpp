#include "host/clipboard.hpp"

namespace orvi {
namespace {

bool owns_pending(HWND window) {
  const auto& state = get_delayed_clipboard();
  return state.pending != 0 && window != nullptr && state.owner == window;
}

// Ends the offer; text that was never handed to the clipboard is ours to free.
void end_offer(std::uint8_t final_state) {
  auto& state = get_delayed_clipboard();
  if (state.prepared != nullptr) {
    GlobalFree(state.prepared);
    state.prepared = nullptr;
  }
  state.transitions += 1;
  state.owner = nullptr;
  state.pending = 0;
  state.state = final_state;
}

}  // namespace

delayed_clipboard_state& get_delayed_clipboard() {
  static delayed_clipboard_state state;
  return state;
}

void render_delayed_clipboard_format(UINT format) {
  auto& state = get_delayed_clipboard();
  if (format != CF_UNICODETEXT || state.pending == 0 || state.prepared == nullptr) return;
  if (SetClipboardData(CF_UNICODETEXT, state.prepared) == nullptr) return;
  state.rendered += 1;
  state.transitions += 1;
  state.prepared = nullptr;
  state.state = clipboard_state_rendered;
}

void render_all_delayed_clipboard(HWND window) {
  if (!owns_pending(window) || GetClipboardOwner() != window || !OpenClipboard(window)) return;
  render_delayed_clipboard_format(CF_UNICODETEXT);
  CloseClipboard();
}

void release_delayed_clipboard_on_empty(HWND window) {
  if (!owns_pending(window)) return;
  get_delayed_clipboard().released += 1;
  end_offer(clipboard_state_emptied);
}

void release_delayed_clipboard_on_destroy(HWND window) {
  if (!owns_pending(window)) return;
  render_all_delayed_clipboard(window);
  get_delayed_clipboard().owner_destroyed += 1;
  end_offer(clipboard_state_owner_destroyed);
}

}  // namespace orvi
