// Window-wide state the procedure keeps besides input: DPI and monitor, and the
// process's latest lifecycle notification.
#pragma once

#include "host/canvas_window.hpp"

#include <cstdint>

namespace orvi {

inline constexpr std::uint32_t lifecycle_app_activation = 1;
inline constexpr std::uint32_t lifecycle_power = 2;
inline constexpr std::uint32_t lifecycle_session_change = 3;
inline constexpr std::uint32_t lifecycle_query_end_session = 4;
inline constexpr std::uint32_t lifecycle_end_session = 5;

struct lifecycle_event_slot {
  std::uint64_t sequence = 0;
  std::uint32_t kind = 0;
  std::uint64_t data = 0;
  std::uint32_t window_id = 0;  // 0 for a window that is not registered
  std::uint8_t active = 0;
};

lifecycle_event_slot& get_lifecycle_event_slot();
void record_lifecycle_event(std::uint32_t kind, std::uint64_t data, std::uint32_t window_id, bool active);

// dpi_scale_percent from the window's DPI, monitor_index from its nearest
// monitor (a monitor not seen before joins the host's list).
void update_window_dpi_and_monitor(canvas_window& window);

}  // namespace orvi
