#include "host/window_state.hpp"

#include "host/host_runtime.hpp"

#include <algorithm>

namespace orvi {

lifecycle_event_slot& get_lifecycle_event_slot() {
  static lifecycle_event_slot slot;
  return slot;
}

void record_lifecycle_event(std::uint32_t kind, std::uint64_t data, std::uint32_t window_id, bool active) {
  auto& slot = get_lifecycle_event_slot();
  slot.sequence += 1;
  slot.kind = kind;
  slot.data = data;
  slot.window_id = window_id;
  slot.active = active ? 1 : 0;
}

void update_window_dpi_and_monitor(canvas_window& window) {
  if (window.window == nullptr) return;
  const UINT dpi = GetDpiForWindow(window.window);
  if (dpi > 0) window.dpi_scale_percent = (dpi * 100u + 48u) / 96u;
  HMONITOR monitor = MonitorFromWindow(window.window, MONITOR_DEFAULTTONEAREST);
  if (monitor == nullptr) {
    window.monitor_index = 0;
    return;
  }
  auto& monitors = get_host_runtime().monitors;
  auto found = std::find(monitors.begin(), monitors.end(), monitor);
  if (found == monitors.end()) {
    monitors.push_back(monitor);
    found = monitors.end() - 1;
  }
  window.monitor_index = static_cast<std::uint32_t>(found - monitors.begin()) + 1;
}

}  // namespace orvi
