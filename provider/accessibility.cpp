// The accessibility book (node batches guarded by generations, one action at a
// time) and window events.
#include "provider/native_ui_host_provider.hpp"
#include "provider/provider_text.hpp"

namespace orvi {

using provider_text::fill;

bool native_ui_host_provider::record_window_event(std::string_view window_id, std::string_view event, std::int32_t time,
                                                  std::int32_t correlation, std::uint32_t thread) {
  if (state != "ready" || thread != owner_thread || window_id.empty()) {
    return reject_operation("window-event", "invalid-state-thread-or-window");
  }
  record_host_event("window", window_id, event, "correlated-window-runtime-event", time, correlation, 0);
  return true;
}

std::int32_t native_ui_host_provider::find_accessibility_node(std::string_view id) const {
  for (std::size_t i = 0; i < node_ids.size(); ++i) {
    if (node_ids[i] == id) return static_cast<std::int32_t>(i);
  }
  return -1;
}

bool native_ui_host_provider::begin_accessibility_batch(std::uint32_t thread, std::int32_t time,
                                                        std::int32_t correlation) {
  if (!require_capability(thread, "accessibility")) return false;
  if (batch_active != 0) return reject_operation("accessibility-batch", "nested-batch");
  batch_active = 1;
  record_host_event("accessibility", "tree", "batch-begin", "updates-hidden-until-commit", time, correlation, 0);
  return true;
}

bool native_ui_host_provider::update_accessibility_node(std::string_view id, std::int32_t generation,
                                                        std::string_view role, std::string_view name,
                                                        std::uint32_t thread) {
  if (!require_capability(thread, "accessibility")) return false;
  if (batch_active == 0 || id.empty() || role.empty() || name.empty() || generation < 1) {
    return reject_operation("accessibility-update", "invalid-batch-node-role-or-name");
  }
  // Role and name may view this provider's own columns, which the stores
  // below move or overwrite: keep them first.
  std::string role_text(role), name_text(name);
  const std::int32_t index = find_accessibility_node(id);
  if (index < 0) {
    node_ids.emplace_back(id);
    node_generations.push_back(generation);
    node_roles.push_back(std::move(role_text));
    node_names.push_back(std::move(name_text));
    allocations += 4;
    return true;
  }
  const auto row = static_cast<std::size_t>(index);
  if (generation < node_generations[row]) return reject_operation("accessibility-update", "stale-generation");
  node_generations[row] = generation;
  node_roles[row] = std::move(role_text);
  node_names[row] = std::move(name_text);
  return true;
}

bool native_ui_host_provider::commit_accessibility_batch(std::uint32_t thread, std::int32_t time,
                                                         std::int32_t correlation) {
  if (!require_capability(thread, "accessibility")) return false;
  if (batch_active == 0) return reject_operation("accessibility-batch", "no-active-batch");
  batch_active = 0;
  record_host_event("accessibility", "tree", "batch-commit", fill("nodes={0}", std::uint64_t{node_ids.size()}), time,
                    correlation, 1);
  return true;
}

bool native_ui_host_provider::perform_accessibility_action(std::string_view id, std::uint32_t generation,
                                                           std::string_view action, bool reentrant,
                                                           std::uint32_t thread, std::int32_t time,
                                                           std::int32_t correlation) {
  if (!require_capability(thread, "accessibility")) return false;
  if (action_callback_active != 0) return reject_operation("accessibility-action", "reentrant-or-unavailable");
  const std::int32_t index = find_accessibility_node(id);
  // Stored generations are at least 1, so an unsigned generation of 2^31 or
  // more never names a stored node.
  if (index < 0 || static_cast<std::uint32_t>(node_generations[static_cast<std::size_t>(index)]) != generation) {
    return reject_operation("accessibility-action", "stale-or-missing-node-identity");
  }
  action_callback_active = 1;
  if (reentrant) {
    action_callback_active = 0;
    return reject_operation("accessibility-action", "callback-reentrancy-blocked");
  }
  record_host_event("accessibility", id, "action", action, time, correlation, 2);
  action_callback_active = 0;
  return true;
}

}  // namespace orvi
