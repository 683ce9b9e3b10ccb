// One text-input composition with focus transfer and the virtual keyboard, and
// one clipboard item whose payload may be supplied later.
#include "provider/native_ui_host_provider.hpp"
#include "provider/provider_text.hpp"

namespace orvi {

using provider_text::fill;

bool native_ui_host_provider::begin_text_input(std::string_view window, std::string_view preedit,
                                               std::int32_t selection_start, std::int32_t selection_end,
                                               std::int32_t replacement_start, std::int32_t replacement_end,
                                               std::int32_t caret_x, std::int32_t caret_y, std::int32_t caret_width,
                                               std::int32_t caret_height, std::int32_t candidate_x,
                                               std::int32_t candidate_y, std::string_view purpose,
                                               std::string_view hints, bool dead_key, bool virtual_keyboard,
                                               std::uint32_t thread, std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "text-input")) return false;
  // Caret and candidate positions may lie left of or above the window.
  if (window.empty() || selection_start < 0 || selection_end < 0 || replacement_start < 0 || replacement_end < 0 ||
      caret_width < 0 || caret_height < 0) {
    return reject_operation("text-input-begin", "invalid-window-range-or-geometry");
  }
  // Every text may view this composition's own fields, which are replaced
  // below: keep them, and the detail made from them, first.
  std::string window_text(window), preedit_text(preedit), purpose_text(purpose), hints_text(hints);
  const std::string detail =
      fill("{0}; {1}; {2}; {3}",
           fill("selection={0},{1}; replacement={2},{3}", selection_start, selection_end, replacement_start,
                replacement_end),
           fill("caret={0},{1},{2},{3}", caret_x, caret_y, caret_width, caret_height),
           fill("candidate={0},{1}; purpose={2}; hints={3}", candidate_x, candidate_y, purpose_text, hints_text),
           fill("dead-key={0}; virtual-keyboard={1}", dead_key, virtual_keyboard));
  composition_state& c = composition;
  c.window_id = window_text;
  c.preedit = std::move(preedit_text);
  c.selection_start = selection_start;
  c.selection_end = selection_end;
  c.replacement_start = replacement_start;
  c.replacement_end = replacement_end;
  c.caret_x = caret_x;
  c.caret_y = caret_y;
  c.caret_width = caret_width;
  c.caret_height = caret_height;
  c.candidate_x = candidate_x;
  c.candidate_y = candidate_y;
  c.purpose = std::move(purpose_text);
  c.hints = std::move(hints_text);
  c.composition_active = 1;
  c.keyboard_requested = virtual_keyboard ? 1 : 0;
  record_host_event("text-input", window_text, "preedit", detail, time, correlation, 3);
  return true;
}

bool native_ui_host_provider::update_surrounding_text(std::string_view window, std::string_view surrounding_text,
                                                      std::int32_t selection_start, std::int32_t selection_end,
                                                      std::int32_t delete_before, std::int32_t delete_after,
                                                      std::uint32_t thread, std::int32_t time,
                                                      std::int32_t correlation) {
  if (!require_capability(thread, "text-input")) return false;
  if (composition.composition_active == 0 || composition.window_id != window || selection_start < 0 ||
      selection_end < 0 || delete_before < 0 || delete_after < 0) {
    return reject_operation("surrounding-text", "inactive-stale-window-or-invalid-range");
  }
  composition.surrounding_text = surrounding_text;
  composition.selection_start = selection_start;
  composition.selection_end = selection_end;
  // The stored window, equal to the given one: that may have viewed the
  // surrounding text just replaced.
  record_host_event(
      "text-input", composition.window_id, "surrounding-update",
      fill("selection={0},{1}; delete={2},{3}", selection_start, selection_end, delete_before, delete_after), time,
      correlation, 2);
  return true;
}

bool native_ui_host_provider::commit_text_input(std::string_view window, std::string_view committed_text,
                                                std::int32_t replacement_first, std::int32_t replacement_second,
                                                std::uint32_t thread, std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "text-input")) return false;
  if (composition.composition_active == 0 || composition.window_id != window || replacement_first < 0 ||
      replacement_second < 0) {
    return reject_operation("text-input-commit", "inactive-stale-window-or-invalid-range");
  }
  record_host_event("text-input", window, "commit",
                    fill("text={0}; replacement={1},{2}", committed_text, replacement_first, replacement_second), time,
                    correlation, 2);
  composition.preedit.clear();
  composition.composition_active = 0;
  return true;
}

bool native_ui_host_provider::cancel_text_input(std::string_view window, std::string_view reason, std::uint32_t thread,
                                                std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "text-input")) return false;
  if (composition.composition_active == 0 || composition.window_id != window) {
    return reject_operation("text-input-cancel", "inactive-or-stale-window");
  }
  record_host_event("text-input", window, "cancel", reason, time, correlation, 1);
  composition.preedit.clear();
  composition.composition_active = 0;
  return true;
}

bool native_ui_host_provider::transfer_text_focus(std::string_view from_window, std::string_view to_window,
                                                  std::uint32_t thread, std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "text-input")) return false;
  const bool active = composition.composition_active != 0;
  if (to_window.empty() || (active && composition.window_id != from_window)) {
    return reject_operation("text-focus-transfer", "invalid-source-or-destination");
  }
  // Either window may view this composition's own fields, which change below.
  const std::string from(from_window), to(to_window);
  if (active) {
    record_host_event("text-input", from, "focus-cancel", "composition-cancelled-before-transfer", time, correlation,
                      1);
    composition.preedit.clear();
    composition.composition_active = 0;
  }
  composition.window_id = to;
  record_host_event("text-input", to, "focus", fill("from={0}", from), time, correlation, 1);
  return true;
}

bool native_ui_host_provider::request_virtual_keyboard(bool requested, bool visible, std::string_view keyboard_state,
                                                       std::uint32_t thread, std::int32_t time,
                                                       std::int32_t correlation) {
  if (!require_capability(thread, "virtual-keyboard")) return false;
  composition.keyboard_requested = requested ? 1 : 0;
  composition.keyboard_visible = visible ? 1 : 0;
  record_host_event("text-input", composition.window_id, "virtual-keyboard",
                    fill("requested={0}; visible={1}; state={2}", requested, visible, keyboard_state), time,
                    correlation, 1);
  return true;
}

bool native_ui_host_provider::is_clipboard_format_supported(std::string_view format) const {
  return format == "text/plain;charset=utf-8" || format == "image/rgba8" || format == "application/orvi-value-v1";
}

bool native_ui_host_provider::set_clipboard(std::string_view owner, std::string_view format, std::string_view payload,
                                            bool delayed, bool permission, std::uint32_t thread, std::int32_t time,
                                            std::int32_t correlation) {
  if (!require_capability(thread, "clipboard")) return false;
  if (!permission || owner.empty() || !is_clipboard_format_supported(format) ||
      (delayed && !has_capability("delayed-clipboard"))) {
    return reject_operation("clipboard-set", "permission-format-owner-or-delayed-capability");
  }
  // The new item is made whole before it replaces the old one, whose texts
  // the given ones may view.
  clipboard = clipboard_item{std::string(owner), std::string(format), std::string(payload),
                             static_cast<std::uint8_t>(delayed ? 1 : 0)};
  record_host_event("clipboard", clipboard.owner, "ownership",
                    fill("format={0}; delayed={1}", clipboard.format, delayed), time, correlation, 2);
  return true;
}

bool native_ui_host_provider::materialize_clipboard(std::string_view owner, std::string_view payload, bool permission,
                                                    std::uint32_t thread, std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "clipboard")) return false;
  if (!permission || clipboard.owner != owner || clipboard.delayed == 0) {
    return reject_operation("clipboard-materialize", "permission-owner-or-not-delayed");
  }
  clipboard.payload = payload;
  clipboard.delayed = 0;
  record_host_event("clipboard", clipboard.owner, "materialized", clipboard.format, time, correlation, 2);
  return true;
}

std::string native_ui_host_provider::read_clipboard(std::string_view format, bool permission, std::uint32_t thread,
                                                    std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "clipboard")) return {};
  // Every stored item has an owner: with none there is nothing to read, even
  // though an empty format then equals the empty stored one.
  if (!permission || clipboard.owner.empty() || clipboard.format != format || clipboard.delayed != 0) {
    reject_operation("clipboard-read", "permission-format-or-delayed-data");
    return {};
  }
  record_host_event("clipboard", clipboard.owner, "read", format, time, correlation, 1);
  return clipboard.payload;
}

}  // namespace orvi
