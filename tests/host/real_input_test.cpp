// Real keyboard, mouse and input-method input on a foreground canvas window.
#include "host/host_runtime.hpp"
#include "host/input_queries.hpp"
#include "host/message_pump.hpp"

#include "tests/host/test_window.hpp"

#include <gtest/gtest.h>
#include <imm.h>

#include <functional>

namespace orvi {
namespace {

bool pump_until(const std::function<bool()>& done, int milliseconds = 2000) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    pump_window_messages();
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

bool bring_to_front(HWND window) {
  SetForegroundWindow(window);
  return pump_until([window] { return GetForegroundWindow() == window; }, 500);
}

void send_key(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void send_mouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

// One window for the whole suite, opened on first use.
canvas_window& window() {
  static canvas_window& shared = testing::open_gl_test_window(320, 240);
  return shared;
}

class RealInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bring_to_front(window().window));
    ASSERT_TRUE(pump_until([] { return window().focused != 0; }, 500));
    window().key_presses.fill(0);
    window().typed_text.clear();
  }
};

TEST_F(RealInput, AKeyPressAnswersTrueExactlyOnce) {
  send_key('K', 0);
  send_key('K', KEYEVENTF_KEYUP);
  ASSERT_TRUE(pump_until([] { return window().key_presses['K'] != 0; }));
  EXPECT_TRUE(key_pressed_by_name("k"));
  EXPECT_FALSE(key_pressed_by_name("K"));
}

TEST_F(RealInput, AShortClickIsRecordedAndTheCursorReadInClientPixels) {
  POINT target{50, 60};
  ClientToScreen(window().window, &target);
  SetCursorPos(target.x, target.y);
  EXPECT_TRUE(pump_until([] { return mouse_x() == 50; }, 500));
  EXPECT_EQ(mouse_y(), 60);
  const std::uint64_t before = last_left_press_sequence();
  send_mouse(MOUSEEVENTF_LEFTDOWN);
  Sleep(40);
  send_mouse(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(pump_until([&] { return last_left_press_sequence() != before; }));
  EXPECT_EQ(window().last_left_press.client_x, 50u);
  EXPECT_EQ(window().last_left_press.client_y, 60u);
}

TEST_F(RealInput, InTheBackgroundTheCursorReadsMinusOneAndKeysAreKept) {
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(bring_to_front(other));
  window().key_presses['J'] = 1;
  window().focused = 1;  // focus alone is not enough: the window must be in front
  EXPECT_EQ(mouse_x(), -1);
  EXPECT_EQ(mouse_y(), -1);
  EXPECT_FALSE(key_pressed_by_name("j"));
  EXPECT_EQ(window().key_presses['J'], 1);
  DestroyWindow(other);
}

TEST_F(RealInput, TheInputMethodFillsThePreeditThenTheTypedText) {
  HIMC context = ImmGetContext(window().window);
  ASSERT_NE(context, nullptr);
  const std::uint64_t revision = window().preedit_revision;
  const wchar_t composing[] = L"h\u00e9";
  ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<wchar_t*>(composing), sizeof(composing) - sizeof(wchar_t),
                           nullptr, 0);
  EXPECT_TRUE(pump_until([] { return window().preedit_text == "h\xC3\xA9"; }, 500)) << window().preedit_text;
  EXPECT_EQ(window().preedit_active, 1);
  EXPECT_GT(window().preedit_revision, revision);
  ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
  EXPECT_TRUE(pump_until([] { return window().typed_text == "h\xC3\xA9"; }, 500)) << window().typed_text;
  EXPECT_EQ(window().preedit_active, 0);
  EXPECT_TRUE(window().preedit_text.empty());
  ImmReleaseContext(window().window, context);
}

}  // namespace
}  // namespace orvi
