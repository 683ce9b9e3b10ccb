// The book of a native UI host's services: capabilities, the provider's state,
// the accessibility tree, one text-input composition, one clipboard item, the
// display topology and the session, with an append-only event log. It makes no
// platform call and takes no lock: every request names its thread, which is
// only compared with the owner thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/display_geometry.hpp"

namespace orvi {

// The contract a host hands to the provider.
struct native_ui_host_capabilities {
  std::string contract_id;
  std::uint32_t contract_version = 0;
  std::string provider_name;
  std::uint8_t accessibility = 0;
  std::uint8_t text_input = 0;
  std::uint8_t clipboard = 0;
  std::uint8_t display_topology = 0;
  std::uint8_t session_lifecycle = 0;
  std::uint8_t virtual_keyboard = 0;
  std::uint8_t delayed_clipboard = 0;
};

// The one text-input composition and the virtual keyboard flags.
struct composition_state {
  std::string window_id;
  std::string preedit;
  std::string surrounding_text;
  std::int32_t selection_start = 0;
  std::int32_t selection_end = 0;
  std::int32_t replacement_start = 0;
  std::int32_t replacement_end = 0;
  std::int32_t caret_x = 0;
  std::int32_t caret_y = 0;
  std::int32_t caret_width = 0;
  std::int32_t caret_height = 0;
  std::int32_t candidate_x = 0;
  std::int32_t candidate_y = 0;
  std::string purpose = "text";
  std::string hints = "none";
  std::uint8_t composition_active = 0;
  std::uint8_t keyboard_requested = 0;
  std::uint8_t keyboard_visible = 0;

  friend bool operator==(const composition_state&, const composition_state&) = default;
};

// The one clipboard item; a delayed item's payload is supplied later.
struct clipboard_item {
  std::string owner;
  std::string format;
  std::string payload;
  std::uint8_t delayed = 0;

  friend bool operator==(const clipboard_item&, const clipboard_item&) = default;
};

class native_ui_host_provider {
 public:
  native_ui_host_provider(const native_ui_host_capabilities& contract, std::uint32_t owner_thread);
  virtual ~native_ui_host_provider();

  native_ui_host_provider(const native_ui_host_provider&) = default;
  native_ui_host_provider& operator=(const native_ui_host_provider&) = default;
  // Field by field: what a request changed, or that a refusal changed nothing.
  friend bool operator==(const native_ui_host_provider&, const native_ui_host_provider&) = default;

  // The operations call one another through these virtual slots, so a derived
  // host may replace any of them. Their order is part of the interface.
  virtual bool reject_operation(std::string_view operation, std::string_view reason);
  virtual bool has_capability(std::string_view capability) const;
  virtual bool require_capability(std::uint32_t thread, std::string_view capability);
  virtual bool initialize(bool provider_available, bool partial_failure, std::uint32_t thread, std::int32_t time,
                          std::int32_t correlation);
  virtual void record_host_event(std::string_view category, std::string_view subject, std::string_view event_state,
                                 std::string_view detail, std::int32_t time, std::int32_t correlation,
                                 std::int32_t latency_us);
  virtual bool record_window_event(std::string_view window_id, std::string_view event, std::int32_t time,
                                   std::int32_t correlation, std::uint32_t thread);
  virtual std::int32_t find_accessibility_node(std::string_view id) const;
  virtual bool begin_accessibility_batch(std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual bool update_accessibility_node(std::string_view id, std::int32_t generation, std::string_view role,
                                         std::string_view name, std::uint32_t thread);
  virtual bool commit_accessibility_batch(std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual bool perform_accessibility_action(std::string_view id, std::uint32_t generation, std::string_view action,
                                            bool reentrant, std::uint32_t thread, std::int32_t time,
                                            std::int32_t correlation);
  virtual bool begin_text_input(std::string_view window, std::string_view preedit, std::int32_t selection_start,
                                std::int32_t selection_end, std::int32_t replacement_start,
                                std::int32_t replacement_end, std::int32_t caret_x, std::int32_t caret_y,
                                std::int32_t caret_width, std::int32_t caret_height, std::int32_t candidate_x,
                                std::int32_t candidate_y, std::string_view purpose, std::string_view hints,
                                bool dead_key, bool virtual_keyboard, std::uint32_t thread, std::int32_t time,
                                std::int32_t correlation);
  virtual bool update_surrounding_text(std::string_view window, std::string_view surrounding_text,
                                       std::int32_t selection_start, std::int32_t selection_end,
                                       std::int32_t delete_before, std::int32_t delete_after, std::uint32_t thread,
                                       std::int32_t time, std::int32_t correlation);
  virtual bool commit_text_input(std::string_view window, std::string_view committed_text,
                                 std::int32_t replacement_first, std::int32_t replacement_second, std::uint32_t thread,
                                 std::int32_t time, std::int32_t correlation);
  virtual bool cancel_text_input(std::string_view window, std::string_view reason, std::uint32_t thread,
                                 std::int32_t time, std::int32_t correlation);
  virtual bool transfer_text_focus(std::string_view from_window, std::string_view to_window, std::uint32_t thread,
                                   std::int32_t time, std::int32_t correlation);
  virtual bool request_virtual_keyboard(bool requested, bool visible, std::string_view keyboard_state,
                                        std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual bool is_clipboard_format_supported(std::string_view format) const;
  virtual bool set_clipboard(std::string_view owner, std::string_view format, std::string_view payload, bool delayed,
                             bool permission, std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual bool materialize_clipboard(std::string_view owner, std::string_view payload, bool permission,
                                     std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual std::string read_clipboard(std::string_view format, bool permission, std::uint32_t thread, std::int32_t time,
                                     std::int32_t correlation);
  virtual std::int32_t find_display(std::string_view id) const;
  virtual bool publish_display(const display_record& display, std::uint32_t thread);
  virtual bool commit_display_topology(std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual bool transition_session(bool suspended, std::string_view reason, std::uint32_t thread, std::int32_t time,
                                  std::int32_t correlation);
  virtual bool report_provider_loss(std::string_view reason, std::uint32_t thread, std::int32_t time,
                                    std::int32_t correlation);
  virtual bool tear_down(std::uint32_t thread, std::int32_t time, std::int32_t correlation);
  virtual std::string event_line(std::int32_t index) const;
  virtual std::string diagnostics_text() const;

  std::string schema_id = "orvi.native-ui-host-provider.v1";
  std::uint32_t schema_version = 1;
  std::string provider_name;
  std::string contract_id;
  std::uint32_t contract_version = 0;
  std::string state = "new";
  std::uint32_t owner_thread = 0;
  std::string last_diagnostic = "ok";
  std::uint32_t next_sequence = 1;
  std::int32_t last_timestamp = 0;
  std::int32_t last_correlation = 0;
  std::uint32_t failures = 0;
  std::uint32_t allocations = 0;
  std::int32_t max_latency_us = 0;
  std::uint8_t action_callback_active = 0;
  std::uint8_t capability_accessibility = 0;
  std::uint8_t capability_text_input = 0;
  std::uint8_t capability_clipboard = 0;
  std::uint8_t capability_display_topology = 0;
  std::uint8_t capability_session_lifecycle = 0;
  std::uint8_t capability_virtual_keyboard = 0;
  std::uint8_t capability_delayed_clipboard = 0;
  std::uint32_t batch_active = 0;
  // Accessibility nodes, one row per id in order of first update; never removed.
  std::vector<std::string> node_ids;
  std::vector<std::int32_t> node_generations;
  std::vector<std::string> node_roles;
  std::vector<std::string> node_names;
  composition_state composition;
  clipboard_item clipboard;
  // Displays, one row per id in order of first publication; never removed.
  std::vector<std::string> display_ids;
  std::vector<std::int32_t> display_x;
  std::vector<std::int32_t> display_y;
  std::vector<std::int32_t> display_width;
  std::vector<std::int32_t> display_height;
  std::vector<std::int32_t> display_work_x;
  std::vector<std::int32_t> display_work_y;
  std::vector<std::int32_t> display_work_width;
  std::vector<std::int32_t> display_work_height;
  std::vector<std::int32_t> display_scale;
  std::vector<bool> display_primary;
  std::uint32_t topology_revision = 0;
  std::string session_state = "active";
  std::vector<std::string> event_log;
};

}  // namespace orvi
