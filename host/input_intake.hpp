// Input intake: turns key, character, pointer, touch, pen, raw-motion,
// input-method and drop messages into the latest-event state and the pending
// input of a canvas window.
#pragma once

#include "host/canvas_window.hpp"

#include <windows.h>

#include <cstdint>
#include <string>

namespace orvi {

// One pointer event for the window. Mouse messages pass id 1, kind 1, pressure
// -1 (1000 for a press, else 0) and screen flag 0; the wheel, pointer and touch
// messages carry screen coordinates (screen flag 1).
void handle_pointer_event(canvas_window& window, std::uint64_t code, std::uint64_t pointer_id, std::uint64_t kind,
                          WPARAM first, LPARAM second, std::int64_t pressure, bool screen);

// WM_POINTERDOWN, WM_POINTERUP, WM_POINTERUPDATE.
void handle_pointer_message(canvas_window& window, UINT message, WPARAM first, LPARAM second);
void handle_touch_message(canvas_window& window, WPARAM first, LPARAM second);
// WM_INPUT of the lock window in relative mode: adds relative mouse motion to
// the host's raw_delta.
void handle_raw_input(HRAWINPUT input);

void handle_key_event(canvas_window& window, WPARAM virtual_key, LPARAM second, bool down);

// One UTF-16 unit of typed text; surrogate halves are paired here.
void handle_char_input(canvas_window& window, std::uint64_t unit);
// Appends a code point to typed_text when it is printable and fits.
void append_text_input(canvas_window& window, std::uint64_t code_point);
// The preedit's appender: drops control code points and any code point that
// would take the text past 512 bytes. True when appended.
bool append_utf8_code_point(std::string& text, std::uint32_t code_point);

// WM_IME_COMPOSITION; false when the message carries neither a result nor a
// composition string (the default handling then runs).
bool handle_ime_composition(canvas_window& window, LPARAM second);
void place_ime_windows(canvas_window& window);
void begin_preedit(canvas_window& window);
void end_preedit(canvas_window& window);

void handle_dropped_files(canvas_window& window, HDROP drop);

}  // namespace orvi
