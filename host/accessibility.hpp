// The entry through which UI Automation reaches a canvas window's root
// element. The libraries are loaded on the first request for a live root; the
// provider objects come from whoever makes records live.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace orvi {

inline constexpr LPARAM uia_root_object_id = -25;

struct accessibility_record {
  void* provider = nullptr;     // the element provider handed to UI Automation
  std::uint32_t window_id = 0;  // node records only
  HWND window = nullptr;
  std::array<std::uint64_t, 2> values{};
  std::uint8_t live = 0;
  std::uint8_t second_flag = 0;
  std::array<std::u16string, 4> texts;
};

struct accessibility_entry_points {
  LRESULT(WINAPI* return_raw_element_provider)(HWND, WPARAM, LPARAM, void*) = nullptr;
  FARPROC host_provider_from_hwnd = nullptr;
  FARPROC sys_alloc_string = nullptr;
  FARPROC sys_free_string = nullptr;
  FARPROC safe_array_create_vector = nullptr;
  FARPROC safe_array_access_data = nullptr;
  FARPROC safe_array_unaccess_data = nullptr;
  FARPROC raise_automation_event = nullptr;
  FARPROC raise_automation_property_changed_event = nullptr;
  FARPROC raise_structure_changed_event = nullptr;
};

struct accessibility_bridge {
  std::uint8_t loaded = 0;
  HMODULE automation_core = nullptr;
  HMODULE ole_automation = nullptr;
  accessibility_entry_points entry;
  std::array<accessibility_record, 16> roots;  // window ids 1 to 16
  std::array<accessibility_record, 256> nodes;
  std::array<std::uint64_t, 16> window_counters64{};
  std::array<std::uint32_t, 16> window_counters32{};
  std::array<std::uint32_t, 2> shared_counters{};
  std::uint64_t get_object_messages = 0;
  LRESULT last_result = 0;
  std::uint8_t requested = 0;
  std::u16string note;
};

accessibility_bridge& get_accessibility_bridge();

// WM_GETOBJECT for a window; window_id is 0 for a handle that is not registered.
LRESULT handle_accessibility_request(HWND window, std::uint32_t window_id, WPARAM first);

// Drops a destroyed window's records from the bridge.
void clear_accessibility_for_window(std::uint32_t window_id);

}  // namespace orvi
