// The window procedure on a real canvas window: messages sent to it directly,
// and through the fake layer the ones Wine never sends.
#include "host/window_chrome.hpp"
#include "host/window_state.hpp"

#include "tests/host/fake_platform.hpp"
#include "tests/host/test_window.hpp"
#include "tests/support/desktop_input.hpp"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>

namespace orvi {
namespace {

canvas_window& window() {
  static canvas_window& shared = testing::open_test_window();
  return shared;
}
LRESULT send(UINT message, WPARAM first, LPARAM second) {
  return SendMessageW(window().window, message, first, second);
}
LPARAM point_param(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }
// A client point in screen coordinates, as WM_NCHITTEST and WM_POINTER* carry it.
LPARAM screen_param(int x, int y) {
  const POINT p = testing::screen_point(window().window, x, y);
  return point_param(p.x, p.y);
}

TEST(Procedure, KeyPressesCountOnceAndSaturateTypedTextPairsSurrogatesAndKeepsItsLimit) {
  canvas_window& w = window();
  constexpr LPARAM first_press = 1, auto_repeat = 1 | (1 << 30);  // repeat count 1; the key was up, or down
  send(WM_KEYDOWN, 'A', first_press);
  for (int i = 0; i < 5; ++i) send(WM_KEYDOWN, 'A', auto_repeat);
  for (int i = 0; i < 300; ++i) send(WM_SYSKEYDOWN, 'B', first_press);
  for (WPARAM key : {VK_SHIFT, VK_CONTROL}) send(WM_KEYDOWN, key, first_press);
  send(WM_KEYUP, VK_CONTROL, first_press);
  EXPECT_EQ(std::make_tuple(w.key_presses['A'], w.key_presses['B'], w.modifier_mask), std::make_tuple(1, 255, 1u));
  // Losing focus empties the presses and ends a composition; held modifiers stay.
  w.preedit_active = 1;
  send(WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(w.key_presses, decltype(w.key_presses){});
  EXPECT_EQ(std::make_tuple(w.modifier_mask, w.preedit_active), std::make_tuple(1u, 0));

  // A pair, a low surrogate alone, a high one before a plain unit, control
  // units; then the whole parameter is the character (these are no "A").
  for (WPARAM unit : std::initializer_list<WPARAM>{0xD83D, 0xDE00, 0xDE00, 0xD83D, 'a', '\t', 127})
    send(WM_CHAR, unit, 0);
  EXPECT_EQ(std::make_tuple(send(WM_UNICHAR, 0xFFFF, 0), send(WM_UNICHAR, 0x20AC, 0)), std::make_tuple(1, 0));
  send(WM_UNICHAR, 0x100000041, 0);
  send(WM_CHAR, 0x100000041, 0);
  EXPECT_EQ(w.typed_text,
            "\xF0\x9F\x98\x80"
            "a\xE2\x82\xAC");
  w.typed_text.assign(511, 'x');
  send(WM_CHAR, 0xE9, 0);  // two bytes: does not fit
  send(WM_CHAR, 'y', 0);
  EXPECT_EQ(w.typed_text, std::string(511, 'x') + "y");
}

POINT fake_cursor{0, 0};
BOOL WINAPI fake_cursor_pos(POINT* point) { return *point = fake_cursor, TRUE; }
BOOL WINAPI failing_cursor_pos(POINT*) { return FALSE; }
BOOL WINAPI failing_window_rect(HWND, RECT*) { return FALSE; }

TEST(Procedure, HitTestAndResizeDragStoppingAtTheMinimum) {
  canvas_window client;
  client.client_width = 1000;
  client.client_height = 700;
  // x, y, caption buttons shown, expected answer.
  const std::tuple<int, int, std::uint8_t, LRESULT> cases[] = {
      {990, 20, 1, HTCLOSE},     {930, 20, 1, HTMAXBUTTON},    {870, 20, 1, HTMINBUTTON}, {500, 20, 1, HTCAPTION},
      {860, 20, 1, HTCLIENT},    {500, 60, 1, HTCLIENT},       {0, 0, 1, HTTOPLEFT},      {999, 3, 1, HTTOPRIGHT},
      {7, 699, 1, HTBOTTOMLEFT}, {992, 692, 1, HTBOTTOMRIGHT}, {3, 300, 1, HTLEFT},       {995, 300, 1, HTRIGHT},
      {500, 7, 1, HTTOP},        {500, 695, 1, HTBOTTOM},      {-3, 300, 1, HTCLIENT},    {-3, 20, 1, HTCLIENT},
      {990, 20, 0, HTCLIENT},    {500, 45, 0, HTCAPTION},      {500, -20, 0, HTCLIENT}};
  for (const auto& [x, y, buttons, expected] : cases) {
    client.caption_buttons = buttons;
    EXPECT_EQ(canvas_hit_test(client, POINT{x, y}), expected) << x << "," << y << " buttons " << +buttons;
  }
  // Mended fault: with client-drawn chrome, the system title bar above the
  // client area was answered as client instead of by the system.
  canvas_window& w = window();
  w.client_chrome = w.caption_buttons = 1;
  EXPECT_EQ(send(WM_NCHITTEST, 0, screen_param(100, 20)), HTCAPTION);
  EXPECT_EQ(send(WM_NCHITTEST, 0, screen_param(10, -13)),
            DefWindowProcW(w.window, WM_NCHITTEST, 0, screen_param(10, -13)));
  EXPECT_NE(send(WM_NCHITTEST, 0, screen_param(10, -13)), HTCLIENT);

  // Dragged from the bottom-left corner far past the minimum: the right and
  // top edges, opposite the dragged ones, stay where they were. Without its
  // start positions a drag would be measured from zeros: it does not begin.
  testing::scoped_platform scope;
  for (int failing : {1, 2, 0}) {  // the cursor, the window rectangle, nothing
    RECT start, now;
    GetWindowRect(w.window, &start);
    fake_cursor = {start.left + 2, start.bottom - 2};
    platform().get_cursor_pos = failing == 1 ? &failing_cursor_pos : &fake_cursor_pos;
    platform().get_window_rect = failing == 2 ? &failing_window_rect : &::GetWindowRect;
    send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(2, static_cast<int>(w.client_height) - 2));
    EXPECT_EQ(std::make_tuple(w.resize_drag, w.drag_edge),
              failing ? std::make_tuple(0, 0u) : std::make_tuple(1, std::uint32_t{HTBOTTOMLEFT}))
        << failing;
    platform().get_cursor_pos = &fake_cursor_pos;
    platform().get_window_rect = &::GetWindowRect;
    fake_cursor = {fake_cursor.x + 5000, fake_cursor.y - 5000};
    send(WM_MOUSEMOVE, MK_LBUTTON, point_param(10, 0));
    GetWindowRect(w.window, &now);
    const RECT expected = failing ? start : RECT{start.right - 320, start.top, start.right, start.top + 240};
    EXPECT_TRUE(EqualRect(&now, &expected)) << failing;
    send(WM_LBUTTONUP, 0, point_param(10, 0));
    EXPECT_EQ(w.resize_drag, 0);
  }
  w.client_chrome = w.caption_buttons = 0;
}

LPARAM fake_extra = 0;
UINT32 fake_pen_pressure = 0;
// Two records at touch_at (screen pixels): a press by contact 21, a move by 22.
POINT touch_at{};
bool touch_reads = true;
int touch_closes = 0;

TEST(Procedure, MouseFromPenOrTouchIsDroppedPointerAndTouchMessagesBecomePointerEvents) {
  canvas_window& w = window();
  testing::scoped_platform scope;
  platform().get_message_extra_info = [] { return fake_extra; };
  // Pointer 7 is a pen, 8 touch, 10 a touchpad; any other id has no type.
  platform().get_pointer_type = [](UINT32 id, POINTER_INPUT_TYPE* type) {
    *type = id == 7 ? PT_PEN : id == 8 ? PT_TOUCH : PT_TOUCHPAD;
    return BOOL{id == 7 || id == 8 || id == 10};
  };
  platform().get_pointer_pen_info = [](UINT32, POINTER_PEN_INFO* info) {
    *info = {};
    info->penMask = fake_pen_pressure ? PEN_MASK_PRESSURE : 0u;
    info->pressure = fake_pen_pressure;
    return TRUE;
  };
  platform().get_touch_input_info = [](HTOUCHINPUT, UINT count, PTOUCHINPUT inputs, int size) {
    if (!touch_reads || count != 2 || size != sizeof(TOUCHINPUT)) return FALSE;
    // x and y in hundredths of a pixel (the 99 is truncated), source, id, flags.
    inputs[0] = {touch_at.x * 100 + 99, touch_at.y * 100, nullptr, 21, TOUCHEVENTF_DOWN, 0, 0, 0, 0, 0};
    inputs[1] = {touch_at.x * 100, touch_at.y * 100, nullptr, 22, TOUCHEVENTF_MOVE, 0, 0, 0, 0, 0};
    return TRUE;
  };
  platform().close_touch_input_handle = [](HTOUCHINPUT) { return ++touch_closes; };
  for (LPARAM low : {0x00, 0x80, 0xFF}) {  // the pen-or-touch signature, any low byte
    fake_extra = static_cast<LPARAM>(0xFF515700u | low);
    const std::uint64_t before = w.last_input_sequence;
    send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(5, 5));
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), point_param(6, 6));
    EXPECT_EQ(w.last_input_sequence, before) << low;
    send(WM_CAPTURECHANGED, 0, 0);
    EXPECT_EQ(std::make_tuple(w.last_input_sequence > before, w.pointer.capture_lost), std::make_tuple(true, 1u));
  }
  fake_extra = static_cast<LPARAM>(0xFF525700u);  // another signature
  send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(40, 50));
  EXPECT_EQ(w.pointer.pressed, 1u);
  send(WM_CANCELMODE, 0, 0);
  EXPECT_EQ(std::make_tuple(w.last_event_code, w.pointer.cancelled, w.pointer.pressed),
            std::make_tuple(event_pointer_cancelled, 1u, 0u));

  const LPARAM at = screen_param(30, 40);
  // Message, pointer, pen pressure of 1024 (0: none in the mask); kind and pressure of 1000.
  const std::tuple<UINT, WPARAM, UINT32, std::uint64_t, std::uint64_t> steps[] = {
      {WM_POINTERDOWN, MAKEWPARAM(7, 0x1), 512, 3, 500},
      {WM_POINTERUPDATE, 7, 1100, 3, 1000},
      {WM_POINTERUP, 7, 0, 3, 0},
      {WM_POINTERDOWN, 8, 0, 2, 1000}};
  for (const auto& [message, pointer, pressure, kind, scaled] : steps) {
    fake_pen_pressure = pressure;
    send(message, pointer, at);
    EXPECT_EQ(std::make_tuple(w.pointer.kind, w.pointer.pressure, w.pointer.client_x, w.pointer.client_y),
              std::make_tuple(kind, scaled, 30u, 40u));
  }
  const std::uint64_t before = w.last_input_sequence;
  send(WM_POINTERDOWN, 9, at);   // type unknown
  send(WM_POINTERDOWN, 10, at);  // touchpad
  EXPECT_EQ(w.last_input_sequence, before);

  // Touch records at client (12, 13); the handle is closed even when it cannot be read.
  touch_at = testing::screen_point(w.window, 12, 13);
  const std::uint64_t points = w.touch_points;
  for (bool reads : {true, false}) {
    touch_reads = reads;
    send(WM_TOUCH, 2, 0x1234);
    EXPECT_EQ(std::make_tuple(w.touch_points, w.pointer.id, w.last_press.id, w.last_press.client_x,
                              w.last_press.client_y, touch_closes),
              std::make_tuple(points + 2, 22u, 21u, 12u, 13u, reads ? 1 : 2));
  }
}

// A drop handle as the shell makes it: DROPFILES, then wide names each ended
// by a null (here "|"), then an empty name.
WPARAM make_drop(std::wstring names) {
  for (auto& c : names) c = c == L'|' ? L'\0' : c;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(header + 1, names.c_str(), (names.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  return reinterpret_cast<WPARAM>(memory);
}

TEST(Procedure, SizeDropLifecycleAndCloseOnlyHiding) {
  canvas_window& w = window();
  send(WM_SIZE, SIZE_MINIMIZED, point_param(0, 0));
  EXPECT_EQ(std::make_tuple(w.client_width, w.client_height), std::make_tuple(1u, 1u)) << "zero is stored as one";
  // The path of one dropped file, the count of more.
  send(WM_DROPFILES, make_drop(L"C:\\notes\\caf\u00e9.txt|"), 0);
  EXPECT_EQ(std::make_tuple(w.last_event_code, w.dropped_path, w.event_args[1]),
            std::make_tuple(event_file_dropped, "C:\\notes\\caf\xC3\xA9.txt", 1u));
  send(WM_DROPFILES, make_drop(L"C:\\a.txt|C:\\b.txt|"), 0);
  EXPECT_EQ(std::make_tuple(w.dropped_path, w.event_args[1]), std::make_tuple("", 2u));

  // "Active" follows focus unless the event itself is a suspend, lock or resume.
  const auto& slot = get_lifecycle_event_slot();
  // Message, parameters, focus; then the slot's kind and "active", and the answer.
  const std::tuple<UINT, WPARAM, LPARAM, std::uint8_t, std::uint32_t, int, LRESULT> rows[] = {
      {WM_POWERBROADCAST, 4, 0, 1, lifecycle_power, 0, 1},   // suspend
      {WM_POWERBROADCAST, 18, 0, 0, lifecycle_power, 1, 1},  // automatic resume
      {WM_POWERBROADCAST, 10, 0, 0, lifecycle_power, 0, 1},
      {WM_POWERBROADCAST, 10, 0, 1, lifecycle_power, 1, 1},
      {WM_WTSSESSION_CHANGE, 7, 0, 1, lifecycle_session_change, 0, 0},  // lock
      {WM_WTSSESSION_CHANGE, 3, 0, 1, lifecycle_session_change, 1, 0},
      {WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, 1, lifecycle_query_end_session, 0, 1},
      {WM_ENDSESSION, 0, 0, 1, lifecycle_end_session, 1, 0}};
  for (const auto& [message, first, second, focused, kind, active, answer] : rows) {
    const std::uint64_t sequence = slot.sequence;
    w.focused = focused;
    EXPECT_EQ(send(message, first, second), answer) << message << " " << first;
    EXPECT_EQ(std::make_tuple(slot.kind, slot.active, slot.window_id, slot.sequence),
              std::make_tuple(kind, active, w.id, sequence + 1))
        << message << " " << first;
    EXPECT_TRUE(message != WM_QUERYENDSESSION || slot.data == ENDSESSION_LOGOFF);
  }

  EXPECT_EQ(send(WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(std::make_tuple(w.open, w.close_requested, IsWindow(w.window), IsWindowVisible(w.window)),
            std::make_tuple(0, 1, TRUE, FALSE));
  // A canvas-class window missing from the registry is never looked up, and
  // its close is not turned into a destroy.
  HWND stray = CreateWindowExW(0, canvas_window_class_name, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(stray, nullptr);
  EXPECT_EQ(SendMessageW(stray, WM_UNICHAR, 0xFFFF, 0), 1);
  SendMessageW(stray, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(stray));
  DestroyWindow(stray);
}

}  // namespace
}  // namespace orvi
