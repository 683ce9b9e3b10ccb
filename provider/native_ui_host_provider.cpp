#include "provider/native_ui_host_provider.hpp"

#include <limits>

#include "provider/provider_text.hpp"

namespace orvi {

using provider_text::fill;

namespace {

constexpr std::string_view capabilities_contract = "orvi.native-ui-host-capabilities.v1";

// The next value after the last one, held at the top of the range instead of
// overflowing.
std::int32_t after(std::int32_t last) { return last == std::numeric_limits<std::int32_t>::max() ? last : last + 1; }

}  // namespace

native_ui_host_provider::native_ui_host_provider(const native_ui_host_capabilities& contract,
                                                 std::uint32_t owner_thread)
    : provider_name(contract.provider_name),
      contract_id(contract.contract_id),
      contract_version(contract.contract_version),
      owner_thread(owner_thread),
      capability_accessibility(contract.accessibility),
      capability_text_input(contract.text_input),
      capability_clipboard(contract.clipboard),
      capability_display_topology(contract.display_topology),
      capability_session_lifecycle(contract.session_lifecycle),
      capability_virtual_keyboard(contract.virtual_keyboard),
      capability_delayed_clipboard(contract.delayed_clipboard) {}

native_ui_host_provider::~native_ui_host_provider() = default;

bool native_ui_host_provider::reject_operation(std::string_view operation, std::string_view reason) {
  last_diagnostic = fill("host.ui_services {0} rejected: {1}", operation, reason);
  ++failures;
  return false;
}

bool native_ui_host_provider::has_capability(std::string_view capability) const {
  const std::uint8_t* flag = nullptr;
  if (capability == "accessibility") flag = &capability_accessibility;
  if (capability == "text-input") flag = &capability_text_input;
  if (capability == "clipboard") flag = &capability_clipboard;
  if (capability == "display-topology") flag = &capability_display_topology;
  if (capability == "session-lifecycle") flag = &capability_session_lifecycle;
  if (capability == "virtual-keyboard") flag = &capability_virtual_keyboard;
  if (capability == "delayed-clipboard") flag = &capability_delayed_clipboard;
  return flag != nullptr && *flag != 0;
}

bool native_ui_host_provider::require_capability(std::uint32_t thread, std::string_view capability) {
  if (state != "ready") return reject_operation(capability, fill("provider-state={0}", state));
  if (thread != owner_thread) {
    return reject_operation(capability, fill("wrong-thread expected={0} actual={1}", owner_thread, thread));
  }
  if (!has_capability(capability)) return reject_operation(capability, "capability-unavailable-before-effect");
  return true;
}

bool native_ui_host_provider::initialize(bool provider_available, bool partial_failure, std::uint32_t thread,
                                         std::int32_t time, std::int32_t correlation) {
  if (state != "new" || thread != owner_thread) return reject_operation("initialize", "invalid-state-or-thread");
  if (contract_id != capabilities_contract || contract_version != 1 || provider_name.empty()) {
    state = "unavailable";
    return reject_operation("initialize", "incompatible-capability-contract");
  }
  if (!provider_available) {
    state = "unavailable";
    return reject_operation("initialize", "provider-unavailable");
  }
  state = "initializing";
  if (partial_failure) {
    state = "failed";
    record_host_event("provider", provider_name, "partial-initialization-cleaned",
                      "capabilities-created-services-not-published", time, correlation, 0);
    return reject_operation("initialize", "partial-initialization");
  }
  state = "ready";
  record_host_event("provider", provider_name, "ready", "owner-thread-bound", time, correlation, 0);
  last_diagnostic = "ok";
  return true;
}

void native_ui_host_provider::record_host_event(std::string_view category, std::string_view subject,
                                                std::string_view event_state, std::string_view detail,
                                                std::int32_t time, std::int32_t correlation, std::int32_t latency_us) {
  const std::int32_t time_used = time <= last_timestamp ? after(last_timestamp) : time;
  const std::int32_t correlation_used = correlation < 1 ? after(last_correlation) : correlation;
  if (latency_us > max_latency_us) max_latency_us = latency_us;
  // The line's two halves, joined by "; ", as one template.
  std::string line = fill("host-event {0}: time={1}; correlation={2}; category={3}; subject={4}; state={5}; detail={6}",
                          next_sequence, time_used, correlation_used, category, subject, event_state, detail);
  event_log.push_back(std::move(line));
  ++allocations;
  ++next_sequence;
  last_timestamp = time_used;
  last_correlation = correlation_used;
}

bool native_ui_host_provider::report_provider_loss(std::string_view reason, std::uint32_t thread, std::int32_t time,
                                                   std::int32_t correlation) {
  if (state != "ready" || thread != owner_thread) return reject_operation("provider-loss", "invalid-state-or-thread");
  const std::string why(reason);  // it may view the clipboard texts cleared here
  composition.composition_active = 0;
  composition.keyboard_visible = 0;
  clipboard.owner.clear();
  clipboard.payload.clear();
  clipboard.delayed = 0;
  record_host_event("provider", provider_name, "lost", why, time, correlation, 1);
  state = "lost";
  return true;
}

bool native_ui_host_provider::tear_down(std::uint32_t thread, std::int32_t time, std::int32_t correlation) {
  if (thread != owner_thread) return reject_operation("teardown", "wrong-thread");
  if (state == "torn-down") return true;
  if (state != "ready" && state != "lost" && state != "failed" && state != "unavailable") {
    return reject_operation("teardown", fill("invalid-state={0}", state));
  }
  record_host_event("provider", provider_name, "torn-down", "queues-quiesced-identities-invalidated", time, correlation,
                    1);
  state = "torn-down";
  action_callback_active = 0;
  composition.composition_active = 0;
  batch_active = 0;
  return true;
}

std::string native_ui_host_provider::event_line(std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= event_log.size()) return {};
  return event_log[static_cast<std::size_t>(index)];
}

std::string native_ui_host_provider::diagnostics_text() const {
  std::string line = fill("native-ui-host-provider: schema={0}; version={1}; provider={2}; state={3}", schema_id,
                          schema_version, provider_name, state);
  line += "; ";
  line += fill("owner-thread={0}; sequence={1}; timestamp={2}; correlation={3}", owner_thread, next_sequence - 1,
               last_timestamp, last_correlation);
  line += "; ";
  line += fill("events={0}; nodes={1}; displays={2}; topology={3}", std::uint64_t{event_log.size()},
               std::uint64_t{node_ids.size()}, std::uint64_t{display_ids.size()}, topology_revision);
  line += "; ";
  line +=
      fill("session={0}; composition={1}; keyboard-requested={2}; keyboard-visible={3}", session_state,
           composition.composition_active != 0, composition.keyboard_requested != 0, composition.keyboard_visible != 0);
  line += "; ";
  line += fill("clipboard-format={0}; failures={1}; allocations={2}; max-latency-us={3}", clipboard.format, failures,
               allocations, max_latency_us);
  line += "; diagnostic=";
  line += last_diagnostic;
  return line;
}

}  // namespace orvi
