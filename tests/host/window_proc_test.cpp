// The window procedure on a real canvas window: messages sent to it directly,
// and through the fake layer the ones Wine never sends.
#include "host/host_runtime.hpp"
#include "host/message_pump.hpp"
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
#include <vector>

namespace orvi {
namespace {

class Procedure : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { shared_ = &testing::open_plain_test_window(); }
  void SetUp() override {
    canvas_window& w = window();
    w.key_presses.fill(0);
    w.modifier_mask = 0;
    w.typed_text.clear();
    w.pending_high_surrogate = 0;
    w.client_chrome = 0;
    w.caption_buttons = 0;
  }
  static canvas_window& window() { return *shared_; }
  static LRESULT send(UINT message, WPARAM first, LPARAM second) {
    return SendMessageW(window().window, message, first, second);
  }
  static POINT client_origin() {
    POINT origin{0, 0};
    ClientToScreen(window().window, &origin);
    return origin;
  }

 private:
  static canvas_window* shared_;
};
canvas_window* Procedure::shared_ = nullptr;

LPARAM point_param(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

constexpr LPARAM first_press = 1;              // repeat count 1, key was up
constexpr LPARAM auto_repeat = 1 | (1 << 30);  // key was already down

TEST_F(Procedure, KeyPressesCountOnceSaturateAndEmptyOnFocusLoss) {
  canvas_window& w = window();
  EXPECT_EQ(send(WM_KEYDOWN, 'A', first_press), 0);
  for (int i = 0; i < 5; ++i) send(WM_KEYDOWN, 'A', auto_repeat);
  EXPECT_EQ(w.key_presses['A'], 1);
  EXPECT_EQ(w.last_event_code, event_key_down);
  EXPECT_EQ(w.event_args[3], 1u);
  send(WM_KEYUP, 'A', first_press | (3u << 30));
  EXPECT_EQ(w.last_event_code, event_key_up);
  EXPECT_EQ(w.event_args[0], static_cast<std::uint64_t>('A'));
  EXPECT_EQ(w.event_args[4], w.last_input_sequence);

  for (int i = 0; i < 300; ++i) send(WM_SYSKEYDOWN, 'B', first_press);
  EXPECT_EQ(w.key_presses['B'], 255);

  send(WM_KEYDOWN, VK_SHIFT, first_press);
  send(WM_KEYDOWN, VK_CONTROL, first_press);
  send(WM_KEYUP, VK_CONTROL, first_press);
  EXPECT_EQ(w.modifier_mask, 1u);
  w.preedit_active = 1;
  w.preedit_text = "ka";
  const std::uint64_t revision = w.preedit_revision;
  send(WM_KILLFOCUS, 0, 0);
  for (int key = 0; key < 256; ++key) EXPECT_EQ(w.key_presses[key], 0) << key;
  EXPECT_EQ(w.modifier_mask, 1u);
  EXPECT_EQ(w.preedit_active, 0);
  EXPECT_TRUE(w.preedit_text.empty());
  EXPECT_EQ(w.preedit_revision, revision + 1);
}

TEST_F(Procedure, TypedTextKeepsItsLimitAndPairsSurrogates) {
  canvas_window& w = window();
  send(WM_CHAR, 0xD83D, 0);
  send(WM_CHAR, 0xDE00, 0);
  EXPECT_EQ(w.typed_text, "\xF0\x9F\x98\x80");
  send(WM_CHAR, 0xDE00, 0);  // low surrogate alone
  send(WM_CHAR, 0xD83D, 0);  // high surrogate followed by a plain unit
  send(WM_CHAR, 'a', 0);
  send(WM_CHAR, '\t', 0);
  send(WM_CHAR, 127, 0);
  EXPECT_EQ(w.typed_text,
            "\xF0\x9F\x98\x80"
            "a");
  EXPECT_EQ(send(WM_UNICHAR, 0xFFFF, 0), 1);
  EXPECT_EQ(send(WM_UNICHAR, 0x20AC, 0), 0);
  EXPECT_EQ(w.typed_text.substr(5), "\xE2\x82\xAC");

  w.typed_text.assign(511, 'x');
  const std::uint64_t count = w.typed_count;
  send(WM_CHAR, 0xE9, 0);  // two bytes: does not fit
  EXPECT_EQ(w.typed_text.size(), 511u);
  send(WM_CHAR, 'y', 0);
  EXPECT_EQ(w.typed_text.size(), 512u);
  EXPECT_EQ(w.typed_text.back(), 'y');
  EXPECT_EQ(w.typed_count, count + 1);
}

TEST_F(Procedure, SizeStoresZeroAsOneAndCloseOnlyHides) {
  canvas_window& w = window();
  const std::uint32_t width = w.client_width;
  const std::uint32_t height = w.client_height;
  send(WM_SIZE, SIZE_MINIMIZED, point_param(0, 0));
  EXPECT_EQ(w.client_width, 1u);
  EXPECT_EQ(w.client_height, 1u);
  EXPECT_EQ(w.minimized, 1);
  send(WM_SIZE, SIZE_RESTORED, point_param(static_cast<int>(width), static_cast<int>(height)));
  EXPECT_EQ(w.minimized, 0);
  EXPECT_EQ(w.client_width, width);

  w.key_presses['C'] = 3;
  EXPECT_EQ(send(WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(w.open, 0);
  EXPECT_EQ(w.close_requested, 1);
  EXPECT_EQ(w.key_presses['C'], 0);
  EXPECT_TRUE(IsWindow(w.window));
  EXPECT_FALSE(IsWindowVisible(w.window));
  pump_window_messages();
  EXPECT_EQ(w.shown, 0);
  ShowWindow(w.window, SW_SHOW);
  w.open = 1;
  w.close_requested = 0;
}

// A drop handle as the shell makes it: DROPFILES, then wide names, then an
// empty name.
HGLOBAL make_drop(const std::vector<std::wstring>& names) {
  std::size_t chars = 1;
  for (const auto& name : names) chars += name.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
  for (const auto& name : names) {
    std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    text += name.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

TEST_F(Procedure, DropGivesThePathOfOneFileAndTheCountOfMore) {
  canvas_window& w = window();
  PostMessageW(w.window, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({L"C:\\notes\\caf\u00e9.txt"})), 0);
  pump_window_messages();
  EXPECT_EQ(w.dropped_path, "C:\\notes\\caf\xC3\xA9.txt");
  EXPECT_EQ(w.event_args[0], 1u);
  EXPECT_EQ(w.event_args[1], 1u);
  EXPECT_EQ(w.last_event_code, event_file_dropped);

  PostMessageW(w.window, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({L"C:\\a.txt", L"C:\\b.txt"})), 0);
  pump_window_messages();
  EXPECT_TRUE(w.dropped_path.empty());
  EXPECT_EQ(w.event_args[0], 0u);
  EXPECT_EQ(w.event_args[1], 2u);
}

TEST(HitTest, CaptionButtonsBordersAndClient) {
  canvas_window w;
  w.client_width = 1000;
  w.client_height = 700;
  w.caption_buttons = 1;
  const auto hit = [&](int x, int y) { return canvas_hit_test(w, POINT{x, y}); };
  EXPECT_EQ(hit(990, 20), HTCLOSE);
  EXPECT_EQ(hit(930, 20), HTMAXBUTTON);
  EXPECT_EQ(hit(870, 20), HTMINBUTTON);
  EXPECT_EQ(hit(500, 20), HTCAPTION);
  EXPECT_EQ(hit(860, 20), HTCLIENT);
  EXPECT_EQ(hit(500, 60), HTCLIENT);
  EXPECT_EQ(hit(0, 0), HTTOPLEFT);
  EXPECT_EQ(hit(999, 3), HTTOPRIGHT);
  EXPECT_EQ(hit(7, 699), HTBOTTOMLEFT);
  EXPECT_EQ(hit(992, 692), HTBOTTOMRIGHT);
  EXPECT_EQ(hit(3, 300), HTLEFT);
  EXPECT_EQ(hit(995, 300), HTRIGHT);
  EXPECT_EQ(hit(500, 7), HTTOP);
  EXPECT_EQ(hit(500, 695), HTBOTTOM);
  EXPECT_EQ(hit(-3, 300), HTCLIENT);  // negative: in no border
  EXPECT_EQ(hit(-3, 20), HTCLIENT);
  w.caption_buttons = 0;
  EXPECT_EQ(hit(990, 20), HTCLIENT);
  EXPECT_EQ(hit(500, 45), HTCAPTION);
  EXPECT_EQ(hit(500, -20), HTCLIENT);
}

TEST_F(Procedure, ClientChromeHitTestLeavesTheSystemFrameToTheSystem) {
  canvas_window& w = window();
  w.client_chrome = 1;
  w.caption_buttons = 1;
  const POINT origin = client_origin();
  const auto at = [&](int x, int y) { return point_param(origin.x + x, origin.y + y); };
  EXPECT_EQ(send(WM_NCHITTEST, 0, at(100, 20)), HTCAPTION);
  EXPECT_EQ(send(WM_NCHITTEST, 0, at(100, 100)), HTCLIENT);
  EXPECT_EQ(send(WM_NCHITTEST, 0, at(static_cast<int>(w.client_width) - 10, 20)), HTCLIENT);
  // On the system title bar above the client area.
  const LRESULT frame = send(WM_NCHITTEST, 0, at(10, -13));
  EXPECT_NE(frame, HTCLIENT);
  EXPECT_EQ(frame, DefWindowProcW(w.window, WM_NCHITTEST, 0, at(10, -13)));
}

POINT fake_cursor{0, 0};
BOOL WINAPI fake_cursor_pos(POINT* point) {
  *point = fake_cursor;
  return TRUE;
}

RECT window_rect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

TEST_F(Procedure, ResizeDragStopsAtTheMinimumWithTheOppositeSideFixed) {
  testing::scoped_platform scope;
  platform().get_cursor_pos = &fake_cursor_pos;
  canvas_window& w = window();
  w.client_chrome = 1;
  const RECT start = window_rect(w.window);

  fake_cursor = {start.left + 2, start.top + 100};
  EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(2, 100)), 0);
  EXPECT_EQ(w.resize_drag, 1);
  EXPECT_EQ(w.drag_edge, static_cast<std::uint32_t>(HTLEFT));
  fake_cursor.x += 5000;
  EXPECT_EQ(send(WM_MOUSEMOVE, MK_LBUTTON, point_param(10, 100)), 0);
  RECT now = window_rect(w.window);
  EXPECT_EQ(now.right, start.right);
  EXPECT_EQ(now.right - now.left, 320);
  EXPECT_EQ(send(WM_LBUTTONUP, 0, point_param(10, 100)), 0);
  EXPECT_EQ(w.resize_drag, 0);

  const RECT before = window_rect(w.window);
  fake_cursor = {before.left + 100, before.bottom - 2};
  send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(100, static_cast<int>(w.client_height) - 2));
  EXPECT_EQ(w.drag_edge, static_cast<std::uint32_t>(HTBOTTOM));
  fake_cursor.y -= 5000;
  send(WM_MOUSEMOVE, MK_LBUTTON, point_param(100, 0));
  now = window_rect(w.window);
  EXPECT_EQ(now.top, before.top);
  EXPECT_EQ(now.bottom - now.top, 240);
  send(WM_CAPTURECHANGED, 0, 0);
  EXPECT_EQ(w.resize_drag, 0);
  EXPECT_EQ(w.last_event_code, event_capture_lost);
  ReleaseCapture();
}

TEST_F(Procedure, EveryLeftPressCopiesTheLastPress) {
  canvas_window& w = window();
  send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(40, 50));
  const std::uint64_t first = w.last_press.sequence;
  EXPECT_EQ(first, w.last_input_sequence);
  EXPECT_EQ(w.last_press.client_x, 40u);
  EXPECT_EQ(w.last_press.client_y, 50u);
  EXPECT_EQ(w.last_press.pressure, 1000u);
  EXPECT_EQ(w.last_press.pressed, 1u);
  send(WM_LBUTTONUP, 0, point_param(40, 50));
  EXPECT_EQ(w.last_press.sequence, first);
  EXPECT_EQ(w.pointer.pressure, 0u);
  // A press on a client-drawn caption button still counts.
  w.client_chrome = 1;
  w.caption_buttons = 1;
  send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(static_cast<int>(w.client_width) - 100, 20));
  EXPECT_GT(w.last_press.sequence, first);
  EXPECT_EQ(GetCapture(), w.window);
  // Released away from the button: only the capture ends.
  EXPECT_EQ(send(WM_LBUTTONUP, 0, point_param(100, 100)), 0);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(IsIconic(w.window));
  send(WM_CANCELMODE, 0, 0);
  EXPECT_EQ(w.last_event_code, event_pointer_cancelled);
  EXPECT_EQ(w.pointer.cancelled, 1u);
  EXPECT_EQ(w.pointer.pressed, 0u);
}

LPARAM fake_extra = 0;
LPARAM WINAPI fake_extra_info() { return fake_extra; }

TEST_F(Procedure, MouseMessagesSynthesisedFromPenOrTouchAreDropped) {
  testing::scoped_platform scope;
  platform().get_message_extra_info = &fake_extra_info;
  canvas_window& w = window();
  for (LPARAM low : {0x00, 0x80, 0xFF}) {
    fake_extra = static_cast<LPARAM>(0xFF515700u | low);
    const std::uint64_t before = w.last_input_sequence;
    send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(5, 5));
    send(WM_MOUSEMOVE, 0, point_param(6, 6));
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

BOOL WINAPI fake_pointer_type(UINT32 id, POINTER_INPUT_TYPE* type) {
  switch (id) {
    case 7:
      *type = PT_PEN;
      return TRUE;
    case 8:
      *type = PT_TOUCH;
      return TRUE;
    case 10:
      *type = PT_TOUCHPAD;
      return TRUE;
    default:
      return FALSE;
  }
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
  canvas_window& w = window();
  const POINT origin = client_origin();
  const LPARAM at = point_param(origin.x + 30, origin.y + 40);

  fake_pen_pressure = 512;
  EXPECT_EQ(send(WM_POINTERDOWN, MAKEWPARAM(7, 0x1), at), 0);
  EXPECT_EQ(w.last_event_code, event_pointer_press);
  EXPECT_EQ(w.pointer.kind, 3u);
  EXPECT_EQ(w.pointer.id, 7u);
  EXPECT_EQ(w.pointer.pressure, 500u);
  EXPECT_EQ(w.pointer.buttons, 1u);
  EXPECT_EQ(w.pointer.client_x, 30u);
  EXPECT_EQ(w.pointer.client_y, 40u);
  EXPECT_EQ(w.pointer.message_x, static_cast<std::uint64_t>(origin.x + 30));
  EXPECT_EQ(w.last_press.kind, 3u);
  fake_pen_pressure = 1100;
  send(WM_POINTERUPDATE, 7, at);
  EXPECT_EQ(w.pointer.pressure, 1000u);
  fake_pen_pressure = 0;  // no pressure in the mask
  send(WM_POINTERUP, 7, at);
  EXPECT_EQ(w.pointer.pressure, 0u);
  EXPECT_EQ(w.last_event_code, event_pointer_release);

  send(WM_POINTERDOWN, 8, at);
  EXPECT_EQ(w.pointer.kind, 2u);
  EXPECT_EQ(w.pointer.pressure, 1000u);

  const std::uint64_t before = w.last_input_sequence;
  send(WM_POINTERDOWN, 9, at);   // type unknown
  send(WM_POINTERDOWN, 10, at);  // touchpad
  EXPECT_EQ(w.last_input_sequence, before);
}

int touch_closes = 0;
bool touch_reads = true;
BOOL WINAPI fake_touch_info(HTOUCHINPUT, UINT count, PTOUCHINPUT inputs, int size) {
  if (!touch_reads || count != 2 || size != sizeof(TOUCHINPUT)) return FALSE;
  const POINT origin = [] {
    POINT p{0, 0};
    ClientToScreen(find_canvas_window(get_host_runtime().main_window_id)->window, &p);
    return p;
  }();
  inputs[0] = {};
  inputs[0].x = (origin.x + 12) * 100 + 99;  // hundredths: truncated
  inputs[0].y = (origin.y + 13) * 100;
  inputs[0].dwID = 21;
  inputs[0].dwFlags = TOUCHEVENTF_DOWN;
  inputs[1] = inputs[0];
  inputs[1].dwID = 22;
  inputs[1].dwFlags = TOUCHEVENTF_MOVE;
  return TRUE;
}
BOOL WINAPI fake_close_touch(HTOUCHINPUT) {
  ++touch_closes;
  return TRUE;
}

TEST_F(Procedure, TouchRecordsBecomePointerEventsAndTheHandleIsAlwaysClosed) {
  testing::scoped_platform scope;
  platform().get_touch_input_info = &fake_touch_info;
  platform().close_touch_input_handle = &fake_close_touch;
  canvas_window& w = window();
  touch_closes = 0;
  touch_reads = true;
  const std::uint64_t points = w.touch_points;
  EXPECT_EQ(send(WM_TOUCH, 2, 0x1234), 0);
  EXPECT_EQ(w.touch_points, points + 2);
  EXPECT_EQ(w.last_event_code, event_pointer_move);
  EXPECT_EQ(w.pointer.id, 22u);
  EXPECT_EQ(w.last_press.id, 21u);
  EXPECT_EQ(w.last_press.kind, 2u);
  EXPECT_EQ(w.last_press.client_x, 12u);
  EXPECT_EQ(w.last_press.client_y, 13u);
  EXPECT_EQ(touch_closes, 1);
  touch_reads = false;
  send(WM_TOUCH, 2, 0x1234);
  EXPECT_EQ(w.touch_points, points + 2);
  EXPECT_EQ(touch_closes, 2);
}

TEST_F(Procedure, LifecycleNotificationsFillTheSlot) {
  canvas_window& w = window();
  const auto& slot = get_lifecycle_event_slot();
  const std::uint64_t start = slot.sequence;
  w.focused = 0;
  EXPECT_EQ(send(WM_POWERBROADCAST, 4, 0), 1);
  EXPECT_EQ(slot.kind, lifecycle_power);
  EXPECT_EQ(slot.active, 0);
  EXPECT_EQ(slot.window_id, w.id);
  send(WM_POWERBROADCAST, 18, 0);
  EXPECT_EQ(slot.active, 1);
  send(WM_POWERBROADCAST, 10, 0);
  EXPECT_EQ(slot.active, 0);
  w.focused = 1;
  send(WM_POWERBROADCAST, 10, 0);
  EXPECT_EQ(slot.active, 1);
  send(WM_WTSSESSION_CHANGE, 7, 0);
  EXPECT_EQ(slot.kind, lifecycle_session_change);
  EXPECT_EQ(slot.active, 0);
  send(WM_WTSSESSION_CHANGE, 3, 0);
  EXPECT_EQ(slot.active, 1);  // focused
  EXPECT_EQ(send(WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF)), 1);
  EXPECT_EQ(slot.kind, lifecycle_query_end_session);
  EXPECT_EQ(slot.data, static_cast<std::uint64_t>(ENDSESSION_LOGOFF));
  send(WM_ENDSESSION, 0, 0);
  EXPECT_EQ(slot.kind, lifecycle_end_session);
  EXPECT_EQ(slot.active, 1);
  EXPECT_EQ(slot.sequence, start + 8);
  w.focused = 0;
}

TEST(UnregisteredWindow, GetsTheSameLifecycleAndNeitherClosesNorTakesInput) {
  register_canvas_window_classes();
  HWND handle = CreateWindowExW(0, canvas_window_class_name, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(SendMessageW(handle, WM_ACTIVATEAPP, 1, 0), 0);
  EXPECT_EQ(get_lifecycle_event_slot().kind, lifecycle_app_activation);
  EXPECT_EQ(get_lifecycle_event_slot().window_id, 0u);
  EXPECT_EQ(get_lifecycle_event_slot().active, 1);
  EXPECT_EQ(SendMessageW(handle, WM_POWERBROADCAST, 10, 0), 1);
  EXPECT_EQ(get_lifecycle_event_slot().active, 0);
  EXPECT_EQ(SendMessageW(handle, WM_UNICHAR, 0xFFFF, 0), 1);
  EXPECT_EQ(SendMessageW(handle, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(handle));
  DestroyWindow(handle);
}

}  // namespace
}  // namespace orvi
