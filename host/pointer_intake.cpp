// Mouse, pointer, touch and pen messages, and raw relative motion.
#include "host/host_runtime.hpp"
#include "host/input_intake.hpp"
#include "host/platform.hpp"

#include <algorithm>
#include <limits>
#include <vector>

namespace orvi {
namespace {

// Mouse messages that the system synthesised from pen or touch input carry
// this signature in the upper 24 bits of their extra information.
constexpr std::uint32_t synthesised_mouse_signature = 0xFF515700u;

constexpr std::uint64_t kind_mouse = 1;
constexpr std::uint64_t kind_touch = 2;
constexpr std::uint64_t kind_pen = 3;

std::uint64_t as_u64(std::int64_t value) { return static_cast<std::uint64_t>(value); }

std::int32_t signed_low_word(LPARAM value) { return static_cast<std::int16_t>(value & 0xFFFF); }
std::int32_t signed_high_word(LPARAM value) { return static_cast<std::int16_t>((value >> 16) & 0xFFFF); }

void copy_last_press(canvas_window& window) {
  const pointer_sample& p = window.pointer;
  window.last_press = {window.last_input_sequence,
                       p.id,
                       p.kind,
                       p.pressure,
                       p.client_x,
                       p.client_y,
                       p.message_x,
                       p.message_y,
                       p.pressed};
}

bool synthesised_from_pen_or_touch() {
  const auto extra = static_cast<std::uint32_t>(platform().get_message_extra_info());
  return (extra & 0xFFFFFF00u) == synthesised_mouse_signature;
}

std::int32_t saturating_add(std::int32_t a, std::int32_t b) {
  const std::int64_t sum = static_cast<std::int64_t>(a) + b;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void handle_pointer_event(canvas_window& window, std::uint64_t code, std::uint64_t pointer_id, std::uint64_t kind,
                          WPARAM first, LPARAM second, std::int64_t pressure, bool screen) {
  if (kind == kind_mouse && code < event_capture_lost && synthesised_from_pen_or_touch()) return;
  pointer_sample& p = window.pointer;
  p.id = pointer_id;
  p.kind = kind;
  p.buttons = screen ? ((first >> 16) & 0x1F) : (first & 0xFFFF);
  p.pressure = pressure == -1 ? (code == event_pointer_press ? 1000 : 0) : as_u64(pressure);
  p.reserved = 0;
  p.wheel_delta = code == event_wheel ? as_u64(static_cast<std::int16_t>((first >> 16) & 0xFFFF)) : 0;
  POINT point{signed_low_word(second), signed_high_word(second)};
  p.message_x = as_u64(point.x);
  p.message_y = as_u64(point.y);
  if (screen) ScreenToClient(window.window, &point);
  p.client_x = as_u64(point.x);
  p.client_y = as_u64(point.y);
  if (code == event_capture_lost || code == event_pointer_cancelled) {
    p.pressed = 0;
  } else if (code == event_pointer_press) {
    p.pressed = 1;
  } else {
    p.pressed = (window.window != nullptr && GetCapture() == window.window) ? 1 : 0;
  }
  p.capture_lost = code == event_capture_lost ? 1 : 0;
  p.cancelled = code == event_pointer_cancelled ? 1 : 0;
  stamp_window_event(window, code);
  if (code == event_pointer_press) copy_last_press(window);
}

void handle_pointer_message(canvas_window& window, UINT message, WPARAM first, LPARAM second) {
  auto& p = platform();
  const auto pointer_id = static_cast<UINT32>(first & 0xFFFF);
  POINTER_INPUT_TYPE type = 0;
  if (!p.get_pointer_type(pointer_id, &type)) return;
  std::uint64_t kind = 0;
  switch (type) {
    case PT_MOUSE:
      kind = kind_mouse;
      break;
    case PT_TOUCH:
      kind = kind_touch;
      break;
    case PT_PEN:
      kind = kind_pen;
      break;
    default:
      return;
  }
  const std::uint64_t code = message == WM_POINTERDOWN ? event_pointer_press
                             : message == WM_POINTERUP ? event_pointer_release
                                                       : event_pointer_move;
  std::int64_t pressure = code == event_pointer_press ? 1000 : 0;
  POINTER_PEN_INFO pen{};
  if (kind == kind_pen && p.get_pointer_pen_info(pointer_id, &pen) && (pen.penMask & PEN_MASK_PRESSURE) != 0) {
    const std::uint64_t scaled = static_cast<std::uint64_t>(pen.pressure) * 1000;
    pressure = scaled >= 1024000 ? 1000 : static_cast<std::int64_t>(scaled >> 10);
  }
  handle_pointer_event(window, code, pointer_id, kind, first, second, pressure, true);
}

void handle_touch_message(canvas_window& window, WPARAM first, LPARAM second) {
  auto& p = platform();
  const UINT count = static_cast<UINT>(first & 0xFFFF);
  auto handle = reinterpret_cast<HTOUCHINPUT>(second);
  std::vector<TOUCHINPUT> records(count);
  if (count > 0 && p.get_touch_input_info(handle, count, records.data(), sizeof(TOUCHINPUT))) {
    for (const TOUCHINPUT& record : records) {
      window.touch_points += 1;
      POINT point{record.x / 100, record.y / 100};
      const POINT screen = point;
      ScreenToClient(window.window, &point);
      const bool press = (record.dwFlags & TOUCHEVENTF_DOWN) != 0;
      const std::uint64_t code = press                                    ? event_pointer_press
                                 : (record.dwFlags & TOUCHEVENTF_UP) != 0 ? event_pointer_release
                                                                          : event_pointer_move;
      pointer_sample& sample = window.pointer;
      sample.id = record.dwID;
      sample.kind = kind_touch;
      sample.buttons = press ? 1 : 0;
      sample.pressure = press ? 1000 : 0;
      sample.reserved = 0;
      sample.wheel_delta = 0;
      sample.client_x = as_u64(point.x);
      sample.client_y = as_u64(point.y);
      sample.message_x = as_u64(screen.x);
      sample.message_y = as_u64(screen.y);
      sample.pressed = press ? 1 : 0;
      sample.capture_lost = 0;
      sample.cancelled = 0;
      stamp_window_event(window, code);
      if (press) copy_last_press(window);
    }
  }
  p.close_touch_input_handle(handle);
}

void handle_raw_input(HRAWINPUT input) {
  RAWINPUT raw{};
  static_assert(sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE) == 48);
  UINT size = sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE);
  const UINT read = platform().get_raw_input_data(input, RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER));
  if (read == static_cast<UINT>(-1) || read < 48) return;
  if (raw.header.dwType != RIM_TYPEMOUSE || (raw.data.mouse.usFlags & MOUSE_MOVE_ABSOLUTE) != 0) return;
  const std::int32_t dx = raw.data.mouse.lLastX;
  const std::int32_t dy = raw.data.mouse.lLastY;
  auto& delta = get_host_runtime().raw_delta;
  std::uint64_t seen = delta.load();
  for (;;) {
    const auto x = static_cast<std::int32_t>(static_cast<std::uint32_t>(seen));
    const auto y = static_cast<std::int32_t>(static_cast<std::uint32_t>(seen >> 32));
    const std::uint64_t next = static_cast<std::uint32_t>(saturating_add(x, dx)) |
                               (static_cast<std::uint64_t>(static_cast<std::uint32_t>(saturating_add(y, dy))) << 32);
    if (delta.compare_exchange_weak(seen, next)) return;
  }
}

}  // namespace orvi
