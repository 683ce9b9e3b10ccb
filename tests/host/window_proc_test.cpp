// The window procedure on a real canvas window: messages sent to it directly,
// and through the fake layer the ones Wine never sends.
#include "host/host_runtime.hpp"
#include "host/platform.hpp"
#include "host/window_chrome.hpp"
#include "host/window_classes.hpp"
#include "host/window_state.hpp"

#include "tests/host/fake_platform.hpp"
#include "tests/host/test_window.hpp"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace orvi {
namespace {

canvas_window& window() {
  static canvas_window& shared = testing::open_plain_test_window();
  return shared;
}
LRESULT send(UINT message, WPARAM first, LPARAM second) {
  return SendMessageW(window().window, message, first, second);
}
LPARAM point_param(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }
// A client point in screen coordinates, as WM_NCHITTEST and WM_POINTER* carry it.
POINT screen_point(int x, int y) {
  POINT p{x, y};
  ClientToScreen(window().window, &p);
  return p;
}
LPARAM screen_param(int x, int y) {
  const POINT p = screen_point(x, y);
  return point_param(p.x, p.y);
}

class Procedure : public ::testing::Test {
 protected:
  void SetUp() override {
    w.key_presses.fill(0);
    w.modifier_mask = 0;
    w.typed_text.clear();
    w.pending_high_surrogate = 0;
    w.client_chrome = 0;
    w.caption_buttons = 0;
  }
  canvas_window& w = window();
};

constexpr LPARAM first_press = 1;              // repeat count 1, key was up
constexpr LPARAM auto_repeat = 1 | (1 << 30);  // key was already down

TEST_F(Procedure, KeyPressesCountOnceSaturateAndEmptyOnFocusLoss) {
  send(WM_KEYDOWN, 'A', first_press);
  for (int i = 0; i < 5; ++i) send(WM_KEYDOWN, 'A', auto_repeat);
  EXPECT_EQ(w.key_presses['A'], 1);
  for (int i = 0; i < 300; ++i) send(WM_SYSKEYDOWN, 'B', first_press);
  EXPECT_EQ(w.key_presses['B'], 255);

  send(WM_KEYDOWN, VK_SHIFT, first_press);
  send(WM_KEYDOWN, VK_CONTROL, first_press);
  send(WM_KEYUP, VK_CONTROL, first_press);
  EXPECT_EQ(w.modifier_mask, 1u);
  w.preedit_active = 1;
  send(WM_KILLFOCUS, 0, 0);
  for (int key = 0; key < 256; ++key) EXPECT_EQ(w.key_presses[key], 0) << key;
  EXPECT_EQ(w.modifier_mask, 1u);
  EXPECT_EQ(w.preedit_active, 0);
}

TEST_F(Procedure, TypedTextKeepsItsLimitAndPairsSurrogates) {
  send(WM_CHAR, 0xD83D, 0);
  send(WM_CHAR, 0xDE00, 0);
  EXPECT_EQ(w.typed_text, "\xF0\x9F\x98\x80");
  send(WM_CHAR, 0xDE00, 0);  // low surrogate alone
  send(WM_CHAR, 0xD83D, 0);  // high surrogate followed by a plain unit
  for (WPARAM unit : {WPARAM{'a'}, WPARAM{'\t'}, WPARAM{127}}) send(WM_CHAR, unit, 0);
  EXPECT_EQ(w.typed_text,
            "\xF0\x9F\x98\x80"
            "a");
  EXPECT_EQ(send(WM_UNICHAR, 0xFFFF, 0), 1);
  EXPECT_EQ(send(WM_UNICHAR, 0x20AC, 0), 0);
  // The whole parameter is the character: these are no "A".
  send(WM_UNICHAR, 0x100000041, 0);
  send(WM_CHAR, 0x100000041, 0);
  EXPECT_EQ(w.typed_text,
            "\xF0\x9F\x98\x80"
            "a"
            "\xE2\x82\xAC");

  w.typed_text.assign(511, 'x');
  send(WM_CHAR, 0xE9, 0);  // two bytes: does not fit
  send(WM_CHAR, 'y', 0);
  EXPECT_EQ(w.typed_text, std::string(511, 'x') + "y");
}

TEST_F(Procedure, SizeStoresZeroAsOneAndCloseOnlyHides) {
  const std::uint32_t width = w.client_width;
  const std::uint32_t height = w.client_height;
  send(WM_SIZE, SIZE_MINIMIZED, point_param(0, 0));
  EXPECT_EQ(w.client_width, 1u);
  EXPECT_EQ(w.client_height, 1u);
  send(WM_SIZE, SIZE_RESTORED, point_param(static_cast<int>(width), static_cast<int>(height)));

  EXPECT_EQ(send(WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(w.open, 0);
  EXPECT_EQ(w.close_requested, 1);
  EXPECT_TRUE(IsWindow(w.window));
  EXPECT_FALSE(IsWindowVisible(w.window));
  ShowWindow(w.window, SW_SHOW);
  w.open = 1;
  w.close_requested = 0;
}

// A drop handle as the shell makes it: DROPFILES, then wide names each ended
// by a null, then an empty name.
WPARAM make_drop(const std::vector<std::wstring>& names) {
  std::wstring text;
  for (const auto& name : names) text += name + L'\0';
  text += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + text.size() * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(header + 1, text.data(), text.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return reinterpret_cast<WPARAM>(memory);
}

TEST_F(Procedure, DropGivesThePathOfOneFileAndTheCountOfMore) {
  send(WM_DROPFILES, make_drop({L"C:\\notes\\caf\u00e9.txt"}), 0);
  EXPECT_EQ(w.last_event_code, event_file_dropped);
  EXPECT_EQ(w.dropped_path, "C:\\notes\\caf\xC3\xA9.txt");
  EXPECT_EQ(w.event_args[1], 1u);
  send(WM_DROPFILES, make_drop({L"C:\\a.txt", L"C:\\b.txt"}), 0);
  EXPECT_TRUE(w.dropped_path.empty());
  EXPECT_EQ(w.event_args[1], 2u);
}

TEST(HitTest, CaptionButtonsBordersAndClient) {
  canvas_window w;
  w.client_width = 1000;
  w.client_height = 700;
  // x, y, caption buttons shown, expected answer.
  const std::tuple<int, int, std::uint8_t, LRESULT> cases[] = {
      {990, 20, 1, HTCLOSE},     {930, 20, 1, HTMAXBUTTON},    {870, 20, 1, HTMINBUTTON}, {500, 20, 1, HTCAPTION},
      {860, 20, 1, HTCLIENT},    {500, 60, 1, HTCLIENT},       {0, 0, 1, HTTOPLEFT},      {999, 3, 1, HTTOPRIGHT},
      {7, 699, 1, HTBOTTOMLEFT}, {992, 692, 1, HTBOTTOMRIGHT}, {3, 300, 1, HTLEFT},       {995, 300, 1, HTRIGHT},
      {500, 7, 1, HTTOP},        {500, 695, 1, HTBOTTOM},      {-3, 300, 1, HTCLIENT},    {-3, 20, 1, HTCLIENT},
      {990, 20, 0, HTCLIENT},    {500, 45, 0, HTCAPTION},      {500, -20, 0, HTCLIENT}};
  for (const auto& [x, y, buttons, expected] : cases) {
    w.caption_buttons = buttons;
    EXPECT_EQ(canvas_hit_test(w, POINT{x, y}), expected) << x << "," << y << " buttons " << +buttons;
  }
}

// Mended fault: with client-drawn chrome, the system title bar above the
// client area was answered as client instead of by the system.
TEST_F(Procedure, ClientChromeHitTestLeavesTheSystemFrameToTheSystem) {
  w.client_chrome = 1;
  w.caption_buttons = 1;
  EXPECT_EQ(send(WM_NCHITTEST, 0, screen_param(100, 20)), HTCAPTION);
  const LRESULT frame = send(WM_NCHITTEST, 0, screen_param(10, -13));
  EXPECT_NE(frame, HTCLIENT);
  EXPECT_EQ(frame, DefWindowProcW(w.window, WM_NCHITTEST, 0, screen_param(10, -13)));
}

POINT fake_cursor{0, 0};
BOOL WINAPI fake_cursor_pos(POINT* point) {
  *point = fake_cursor;
  return TRUE;
}
BOOL WINAPI failing_cursor_pos(POINT*) { return FALSE; }
BOOL WINAPI failing_window_rect(HWND, RECT*) { return FALSE; }

// Without its start, a drag would be measured from zeros and throw the
// window to the screen origin: it does not begin.
TEST_F(Procedure, ResizeDragNeedsItsStartPositions) {
  testing::scoped_platform scope;
  w.client_chrome = 1;
  for (const bool cursor_fails : {true, false}) {
    RECT start, now;
    GetWindowRect(w.window, &start);
    fake_cursor = {start.left + 2, start.bottom - 2};
    platform().get_cursor_pos = cursor_fails ? &failing_cursor_pos : &fake_cursor_pos;
    platform().get_window_rect = cursor_fails ? &::GetWindowRect : &failing_window_rect;
    send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(2, static_cast<int>(w.client_height) - 2));
    EXPECT_EQ(w.resize_drag, 0) << cursor_fails;
    platform().get_cursor_pos = &fake_cursor_pos;
    send(WM_MOUSEMOVE, MK_LBUTTON, point_param(10, 0));
    GetWindowRect(w.window, &now);
    EXPECT_TRUE(EqualRect(&now, &start)) << cursor_fails;
  }
}

// Dragged from the bottom-left corner far past the minimum: the right and top
// edges, opposite the dragged ones, stay where they were.
TEST_F(Procedure, ResizeDragStopsAtTheMinimumWithTheOppositeSideFixed) {
  testing::scoped_platform scope;
  platform().get_cursor_pos = &fake_cursor_pos;
  w.client_chrome = 1;
  RECT start, now;
  GetWindowRect(w.window, &start);
  fake_cursor = {start.left + 2, start.bottom - 2};
  send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(2, static_cast<int>(w.client_height) - 2));
  EXPECT_EQ(w.drag_edge, static_cast<std::uint32_t>(HTBOTTOMLEFT));
  fake_cursor = {fake_cursor.x + 5000, fake_cursor.y - 5000};
  send(WM_MOUSEMOVE, MK_LBUTTON, point_param(10, 0));
  GetWindowRect(w.window, &now);
  EXPECT_EQ(now.right, start.right);
  EXPECT_EQ(now.top, start.top);
  EXPECT_EQ(now.right - now.left, 320);
  EXPECT_EQ(now.bottom - now.top, 240);
  send(WM_LBUTTONUP, 0, point_param(10, 0));
  EXPECT_EQ(w.resize_drag, 0);
}

LPARAM fake_extra = 0;
LPARAM WINAPI fake_extra_info() { return fake_extra; }

TEST_F(Procedure, MouseMessagesSynthesisedFromPenOrTouchAreDropped) {
  testing::scoped_platform scope;
  platform().get_message_extra_info = &fake_extra_info;
  for (LPARAM low : {0x00, 0x80, 0xFF}) {
    fake_extra = static_cast<LPARAM>(0xFF515700u | low);
    const std::uint64_t before = w.last_input_sequence;
    send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(5, 5));
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), point_param(6, 6));
    EXPECT_EQ(w.last_input_sequence, before) << low;
    send(WM_CAPTURECHANGED, 0, 0);
    EXPECT_GT(w.last_input_sequence, before);
    EXPECT_EQ(w.pointer.capture_lost, 1u);
  }
  fake_extra = static_cast<LPARAM>(0xFF525700u);  // another signature
  const std::uint64_t before = w.last_input_sequence;
  send(WM_MOUSEMOVE, 0, point_param(6, 6));
  EXPECT_GT(w.last_input_sequence, before);
}

TEST_F(Procedure, CancelModeCancelsThePressedPointer) {
  send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(40, 50));
  send(WM_CANCELMODE, 0, 0);
  EXPECT_EQ(w.last_event_code, event_pointer_cancelled);
  EXPECT_EQ(w.pointer.cancelled, 1u);
  EXPECT_EQ(w.pointer.pressed, 0u);
}

// Pointer 7 is a pen, 8 touch, 10 a touchpad; any other id has no type.
BOOL WINAPI fake_pointer_type(UINT32 id, POINTER_INPUT_TYPE* type) {
  *type = id == 7 ? PT_PEN : id == 8 ? PT_TOUCH : PT_TOUCHPAD;
  return id == 7 || id == 8 || id == 10;
}
UINT32 fake_pen_pressure = 0;
BOOL WINAPI fake_pen_info(UINT32, POINTER_PEN_INFO* info) {
  *info = {};
  info->penMask = fake_pen_pressure != 0 ? PEN_MASK_PRESSURE : 0;
  info->pressure = fake_pen_pressure;
  return TRUE;
}

TEST_F(Procedure, PointerMessagesGiveKindPressureAndClientPosition) {
  testing::scoped_platform scope;
  platform().get_pointer_type = &fake_pointer_type;
  platform().get_pointer_pen_info = &fake_pen_info;
  const LPARAM at = screen_param(30, 40);
  fake_pen_pressure = 512;  // of 1024
  send(WM_POINTERDOWN, MAKEWPARAM(7, 0x1), at);
  EXPECT_EQ(w.pointer.kind, 3u);
  EXPECT_EQ(w.pointer.pressure, 500u);
  EXPECT_EQ(w.pointer.client_x, 30u);
  EXPECT_EQ(w.pointer.client_y, 40u);
  fake_pen_pressure = 1100;
  send(WM_POINTERUPDATE, 7, at);
  EXPECT_EQ(w.pointer.pressure, 1000u);
  fake_pen_pressure = 0;  // no pressure in the mask
  send(WM_POINTERUP, 7, at);
  EXPECT_EQ(w.pointer.pressure, 0u);

  send(WM_POINTERDOWN, 8, at);
  EXPECT_EQ(w.pointer.kind, 2u);
  EXPECT_EQ(w.pointer.pressure, 1000u);
  const std::uint64_t before = w.last_input_sequence;
  send(WM_POINTERDOWN, 9, at);   // type unknown
  send(WM_POINTERDOWN, 10, at);  // touchpad
  EXPECT_EQ(w.last_input_sequence, before);
}

// Two records at touch_at (screen pixels): a press by contact 21, a move by 22.
POINT touch_at{};
bool touch_reads = true;
int touch_closes = 0;
BOOL WINAPI fake_touch_info(HTOUCHINPUT, UINT count, PTOUCHINPUT inputs, int size) {
  if (!touch_reads || count != 2 || size != sizeof(TOUCHINPUT)) return FALSE;
  // x and y in hundredths of a pixel (the 99 is truncated), source, id, flags.
  inputs[0] = {touch_at.x * 100 + 99, touch_at.y * 100, nullptr, 21, TOUCHEVENTF_DOWN, 0, 0, 0, 0, 0};
  inputs[1] = {touch_at.x * 100, touch_at.y * 100, nullptr, 22, TOUCHEVENTF_MOVE, 0, 0, 0, 0, 0};
  return TRUE;
}
BOOL WINAPI fake_close_touch(HTOUCHINPUT) { return ++touch_closes; }

TEST_F(Procedure, TouchRecordsBecomePointerEventsAndTheHandleIsAlwaysClosed) {
  testing::scoped_platform scope;
  platform().get_touch_input_info = &fake_touch_info;
  platform().close_touch_input_handle = &fake_close_touch;
  touch_at = screen_point(12, 13);
  touch_closes = 0;
  const std::uint64_t points = w.touch_points;
  send(WM_TOUCH, 2, 0x1234);
  EXPECT_EQ(w.touch_points, points + 2);
  EXPECT_EQ(w.pointer.id, 22u);
  EXPECT_EQ(w.last_press.id, 21u);
  EXPECT_EQ(w.last_press.client_x, 12u);
  EXPECT_EQ(w.last_press.client_y, 13u);
  touch_reads = false;
  send(WM_TOUCH, 2, 0x1234);
  EXPECT_EQ(w.touch_points, points + 2);
  EXPECT_EQ(touch_closes, 2);
  touch_reads = true;
}

// "Active" follows focus unless the event itself is a suspend, lock or resume.
TEST_F(Procedure, LifecycleNotificationsFillTheSlot) {
  const auto& slot = get_lifecycle_event_slot();
  const auto check = [&](UINT message, WPARAM first, LPARAM second, std::uint8_t focused, std::uint32_t kind,
                         int active, LRESULT answer) {
    const std::uint64_t sequence = slot.sequence;
    w.focused = focused;
    EXPECT_EQ(send(message, first, second), answer) << message << " " << first;
    EXPECT_EQ(slot.kind, kind) << message << " " << first;
    EXPECT_EQ(slot.active, active) << message << " " << first;
    EXPECT_EQ(slot.window_id, w.id);
    EXPECT_EQ(slot.sequence, sequence + 1);
  };
  check(WM_POWERBROADCAST, 4, 0, 1, lifecycle_power, 0, 1);   // suspend
  check(WM_POWERBROADCAST, 18, 0, 0, lifecycle_power, 1, 1);  // automatic resume
  check(WM_POWERBROADCAST, 10, 0, 0, lifecycle_power, 0, 1);
  check(WM_POWERBROADCAST, 10, 0, 1, lifecycle_power, 1, 1);
  check(WM_WTSSESSION_CHANGE, 7, 0, 1, lifecycle_session_change, 0, 0);  // lock
  check(WM_WTSSESSION_CHANGE, 3, 0, 1, lifecycle_session_change, 1, 0);
  check(WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF), 1, lifecycle_query_end_session, 0, 1);
  EXPECT_EQ(slot.data, static_cast<std::uint64_t>(ENDSESSION_LOGOFF));
  check(WM_ENDSESSION, 0, 0, 1, lifecycle_end_session, 1, 0);
  w.focused = 0;
}

// A canvas-class window missing from the registry is never looked up, and
// its close is not turned into a destroy.
TEST(UnregisteredWindow, NeitherClosesNorTakesInput) {
  register_canvas_window_classes();
  HWND handle = CreateWindowExW(0, canvas_window_class_name, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(SendMessageW(handle, WM_UNICHAR, 0xFFFF, 0), 1);
  SendMessageW(handle, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(handle));
  DestroyWindow(handle);
}

}  // namespace
}  // namespace orvi
