// The display table with its topology revision, and the session state.
#include "provider/native_ui_host_provider.hpp"
#include "provider/provider_text.hpp"

namespace orvi {

using provider_text::fill;

std::int32_t native_ui_host_provider::find_display(std::string_view id) const {
  for (std::size_t i = 0; i < display_ids.size(); ++i) {
    if (display_ids[i] == id) return static_cast<std::int32_t>(i);
  }
  return -1;
}

bool native_ui_host_provider::publish_display(const display_record& display, std::uint32_t thread) {
  if (!require_capability(thread, "display-topology")) return false;
  const std::string geometry = check_display_geometry(display);
  if (geometry != "ok") return reject_operation("display-publish", geometry);
  // A new display is published before the topology counts it; only a commit
  // advances the revision.
  const std::int32_t index = find_display(display.id);
  if (index < 0) {
    display_ids.push_back(display.id);
    display_x.push_back(display.x);
    display_y.push_back(display.y);
    display_width.push_back(display.width);
    display_height.push_back(display.height);
    display_work_x.push_back(display.work_x);
    display_work_y.push_back(display.work_y);
    display_work_width.push_back(display.work_width);
    display_work_height.push_back(display.work_height);
    display_scale.push_back(display.scale);
    display_primary.push_back(display.primary != 0);
    allocations += 11;
    return true;
  }
  const auto row = static_cast<std::size_t>(index);
  display_x[row] = display.x;
  display_y[row] = display.y;
  display_width[row] = display.width;
  display_height[row] = display.height;
  display_work_x[row] = display.work_x;
  display_work_y[row] = display.work_y;
  display_work_width[row] = display.work_width;
  display_work_height[row] = display.work_height;
  display_scale[row] = display.scale;
  display_primary[row] = display.primary != 0;
  return true;
}

bool native_ui_host_provider::commit_display_topology(std::uint32_t thread, std::int32_t time,
                                                      std::int32_t correlation) {
  if (!require_capability(thread, "display-topology")) return false;
  if (display_ids.empty()) return reject_operation("display-topology", "no-displays");
  std::uint64_t primaries = 0;
  for (bool primary : display_primary) primaries += primary ? 1 : 0;
  if (primaries != 1) return reject_operation("display-topology", fill("primary-count={0}", primaries));
  ++topology_revision;
  record_host_event("display", "topology", "changed",
                    fill("revision={0}; displays={1}", topology_revision, std::uint64_t{display_ids.size()}), time,
                    correlation, 2);
  return true;
}

bool native_ui_host_provider::transition_session(bool suspended, std::string_view reason, std::uint32_t thread,
                                                 std::int32_t time, std::int32_t correlation) {
  if (!require_capability(thread, "session-lifecycle")) return false;
  const std::string_view next = suspended ? "suspended" : "active";
  if (session_state == next) return reject_operation("session-transition", fill("duplicate-state={0}", next));
  const std::string why(reason);  // it may view the state replaced here
  session_state = next;
  record_host_event("session", "application", session_state, why, time, correlation, 1);
  return true;
}

}  // namespace orvi
