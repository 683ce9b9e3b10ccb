// The render side of delayed clipboard text. Offering data (claiming the
// clipboard, announcing Unicode text with delayed rendering, preparing the
// memory, setting pending and owner) is up to its producer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace orvi {

inline constexpr std::uint8_t clipboard_state_rendered = 2;
inline constexpr std::uint8_t clipboard_state_emptied = 3;
inline constexpr std::uint8_t clipboard_state_owner_destroyed = 4;

struct delayed_clipboard_state {
  std::uint64_t transitions = 0;
  std::uint8_t pending = 0;
  std::uint8_t state = 0;
  std::uint64_t rendered = 0;
  std::uint64_t released = 0;
  std::uint64_t owner_destroyed = 0;
  HWND owner = nullptr;
  // Movable memory with NUL-terminated UTF-16; null once the clipboard owns it.
  HGLOBAL prepared = nullptr;
};

delayed_clipboard_state& get_delayed_clipboard();

// WM_RENDERFORMAT: places the prepared text for format 13 (Unicode text).
void render_delayed_clipboard_format(UINT format);
// WM_RENDERALLFORMATS, and the owner's destruction.
void render_all_delayed_clipboard(HWND window);
// WM_DESTROYCLIPBOARD at the owner: the offer ends (state 3).
void release_delayed_clipboard_on_empty(HWND window);
// WM_DESTROY of the owner: the data is placed first, then the offer ends (state 4).
void release_delayed_clipboard_on_destroy(HWND window);

}  // namespace orvi
