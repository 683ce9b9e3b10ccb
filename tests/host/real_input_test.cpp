// Real input on a canvas window in the background, and through the input
// method. Keys and clicks in front are driven end to end in the notebook
// window's test.
#include "host/host_runtime.hpp"
#include "host/input_queries.hpp"

#include "tests/host/test_window.hpp"
#include "tests/support/desktop_input.hpp"

#include <gtest/gtest.h>
#include <imm.h>

#include <tuple>

namespace orvi {
namespace {

using testing::pump_until;

// One window for the whole suite, opened on first use.
canvas_window& window() {
  static canvas_window& shared = testing::open_test_window(320, 240, testing::test_gl::strict_srgb);
  return shared;
}

class RealInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::bring_to_front(window().window));
    ASSERT_TRUE(pump_until([] { return window().focused != 0; }, 500));
    window().key_presses.fill(0);
    window().typed_text.clear();
  }
};

TEST_F(RealInput, InTheBackgroundTheCursorReadsMinusOneAndKeysAreKept) {
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(testing::bring_to_front(other));
  window().key_presses['J'] = 1;
  window().focused = 1;  // focus alone is not enough: the window must be in front
  EXPECT_EQ(std::make_tuple(mouse_x(), mouse_y()), std::make_tuple(-1, -1));
  EXPECT_FALSE(key_pressed_by_name("j"));
  EXPECT_EQ(window().key_presses['J'], 1);
  DestroyWindow(other);
}

TEST_F(RealInput, TheInputMethodFillsThePreeditThenTheTypedText) {
  HIMC context = ImmGetContext(window().window);
  ASSERT_NE(context, nullptr);
  const std::uint64_t revision = window().preedit_revision;
  wchar_t composing[] = L"h\u00e9";
  ImmSetCompositionStringW(context, SCS_SETSTR, composing, sizeof(composing) - sizeof(wchar_t), nullptr, 0);
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
