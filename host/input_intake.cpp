#include "host/input_intake.hpp"

#include "host/host_runtime.hpp"

namespace orvi {
namespace {

constexpr std::uint32_t vk_shift = 16;
constexpr std::uint32_t vk_control = 17;
constexpr std::uint32_t vk_alt = 18;

std::uint64_t modifier_bit(std::uint32_t virtual_key) {
  switch (virtual_key) {
    case vk_shift:
      return 1;
    case vk_control:
      return 2;
    case vk_alt:
      return 4;
    default:
      return 0;
  }
}

bool is_high_surrogate(std::uint64_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(std::uint64_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool is_control(std::uint64_t code_point) { return code_point < 32 || code_point == 127; }

// UTF-8 bytes of a scalar value (not a surrogate, at most 0x10FFFF).
std::string encode_utf8(std::uint32_t c) {
  std::string bytes;
  if (c < 0x80) {
    bytes += static_cast<char>(c);
  } else if (c < 0x800) {
    bytes += static_cast<char>(0xC0 | (c >> 6));
    bytes += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes += static_cast<char>(0xE0 | (c >> 12));
    bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (c >> 18));
    bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (c & 0x3F));
  }
  return bytes;
}

bool is_scalar_value(std::uint64_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

}  // namespace

void handle_key_event(canvas_window& window, WPARAM virtual_key, LPARAM second, bool down) {
  const auto key = static_cast<std::uint32_t>(virtual_key);
  if (const std::uint64_t bit = modifier_bit(key); bit != 0) {
    window.modifier_mask = down ? (window.modifier_mask | bit) : (window.modifier_mask & ~bit);
  }
  const bool repeat = (static_cast<std::uint64_t>(second) & 0x4000FFFEu) != 0;
  window.event_args[0] = virtual_key;
  window.event_args[1] = virtual_key;
  window.event_args[2] = window.modifier_mask;
  window.event_args[3] = repeat ? 1 : 0;
  window.event_args[5] = 1;
  window.event_args[6] = 1;
  window.event_args[7] = 0;
  if (down && !repeat && virtual_key < 256) {
    std::uint8_t& count = window.key_presses[virtual_key];
    if (count < 255) ++count;
  }
  stamp_window_event(window, down ? event_key_down : event_key_up);
}

void handle_char_input(canvas_window& window, std::uint64_t unit) {
  if (is_high_surrogate(unit)) {
    window.pending_high_surrogate = static_cast<std::uint32_t>(unit);
    return;
  }
  if (is_low_surrogate(unit)) {
    const std::uint32_t high = window.pending_high_surrogate;
    window.pending_high_surrogate = 0;
    if (is_high_surrogate(high)) append_text_input(window, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
    return;
  }
  window.pending_high_surrogate = 0;
  append_text_input(window, unit);
}

void append_text_input(canvas_window& window, std::uint64_t code_point) {
  if (is_control(code_point) || !is_scalar_value(code_point)) return;
  const std::string bytes = encode_utf8(static_cast<std::uint32_t>(code_point));
  if (window.typed_text.size() + bytes.size() > pending_text_limit) return;
  window.typed_text += bytes;
  window.typed_count += 1;
}

bool append_utf8_code_point(std::string& text, std::uint32_t code_point) {
  if (is_control(code_point) || !is_scalar_value(code_point)) return false;
  const std::string bytes = encode_utf8(code_point);
  if (text.size() + bytes.size() > pending_text_limit) return false;
  text += bytes;
  return true;
}

}  // namespace orvi
