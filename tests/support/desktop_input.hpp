// Driving windows as a person would: the foreground, real mouse and keyboard
// input through SendInput, and reading what the screen shows.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

namespace orvi::testing {

struct rgb {
  int r, g, b;
  bool operator==(const rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const rgb& c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// Answers this thread's window messages until `done` or `ms` have passed; whether done.
template <typename Done>
bool pump_until(Done done, int ms = 2000) {
  for (const ULONGLONG deadline = GetTickCount64() + ms;; Sleep(10)) {
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    if (GetTickCount64() > deadline) return false;
  }
}

inline bool bring_to_front(HWND window) {
  SetForegroundWindow(window);
  return pump_until([window] { return GetForegroundWindow() == window; });
}

// The window's client point on the screen.
inline POINT screen_point(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return p;
}

inline rgb pixel_at(HWND window, int x, int y) {
  const POINT p = screen_point(window, x, y);
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// One mouse event (flags only) or keyboard event through SendInput.
inline void send_input(DWORD type, DWORD flags, WORD key = 0, WORD scan = 0) {
  INPUT input{};
  input.type = type;
  if (type == INPUT_MOUSE) input.mi.dwFlags = flags;
  if (type == INPUT_KEYBOARD) input.ki = {key, scan, flags, 0, 0};
  SendInput(1, &input, sizeof input);
}

inline void move_mouse(HWND window, int x, int y) {
  const POINT p = screen_point(window, x, y);
  SetCursorPos(p.x, p.y);
}

// A click held for `hold_ms`: the system sees the press whatever the length,
// while a frame's poll of the button may not. `press` is the button's down
// flag (left, right or middle); its up flag is the next bit.
inline void click(HWND window, int x, int y, DWORD hold_ms = 40, DWORD press = MOUSEEVENTF_LEFTDOWN) {
  move_mouse(window, x, y);
  Sleep(20);
  send_input(INPUT_MOUSE, press);
  Sleep(hold_ms);
  send_input(INPUT_MOUSE, press << 1);
}

// A person's next key comes later; the program takes one counted press of a
// key per frame.
inline void press_key(WORD virtual_key) {
  send_input(INPUT_KEYBOARD, 0, virtual_key);
  Sleep(20);
  send_input(INPUT_KEYBOARD, KEYEVENTF_KEYUP, virtual_key);
  Sleep(30);
}

// Types UTF-16 text as characters (not keys), as an input method would.
inline void type_text(const std::wstring& s) {
  for (wchar_t unit : s) {
    for (DWORD up : {0ul, DWORD{KEYEVENTF_KEYUP}}) send_input(INPUT_KEYBOARD, KEYEVENTF_UNICODE | up, 0, unit);
    Sleep(5);
  }
}

}  // namespace orvi::testing
