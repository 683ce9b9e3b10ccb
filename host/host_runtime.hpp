// The process-wide host state: the window registry, the current and main
// window, the event sequence and the pointer-lock state.
#pragma once

#include "host/canvas_window.hpp"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvi {

// Owns every canvas window by id. Objects stay here after their window is
// closed; they are freed only with the host runtime.
using window_registry = std::unordered_map<std::uint32_t, std::unique_ptr<canvas_window>>;

inline constexpr std::uint32_t max_canvas_windows = 16;

struct host_runtime {
  window_registry registry;
  std::vector<HMONITOR> monitors;  // in order of first sight
  std::uint32_t next_window_id = 1;
  std::uint32_t main_window_id = 0;
  std::uint32_t current_window_id = 0;
  std::uint64_t event_sequence = 1;
  HWND pointer_lock_window = nullptr;
  std::uint8_t confinement_requested = 0;
  std::uint8_t relative_mode = 0;
  std::uint8_t raw_mouse_registered = 0;
  std::uint8_t cursor_visible = 1;
  // Low 32 bits signed dx, high 32 bits signed dy, each saturating.
  std::atomic<std::uint64_t> raw_delta{0};
};

// Live GL textures per cache kind and live layered bitmaps, process-wide.
struct render_resource_counts {
  std::uint64_t text_textures = 0;
  std::uint64_t image_textures = 0;
  std::uint64_t spare_textures = 0;
  std::uint64_t layered_bitmaps = 0;
  std::uint64_t layered_bytes = 0;
};

host_runtime& get_host_runtime();
render_resource_counts& get_render_resource_counts();

canvas_window* find_canvas_window(std::uint32_t id);
// The registered window whose handle is this one, or null.
canvas_window* find_canvas_window_by_handle(HWND window);

// Takes the next sequence number for the window; code 0 keeps the last code.
void stamp_window_event(canvas_window& window, std::uint64_t code);

canvas_window* resolve_current_window();
bool is_canvas_foreground();

// Raises "window.canvas" with the message unless the condition holds.
void require_canvas(bool condition, std::string_view message);

// Pumps once, then requires an open current window with all three handles and
// makes its GL context current.
canvas_window& require_open_window(std::string_view operation);

// The opener's first step. When the main window is open it becomes current
// (its GL context too) and nothing new opens; nothing opens either once ids 1
// to 16 are used. True when a new window may be opened.
bool begin_canvas_window_open();

// The opener's last step: gives the window the next id, stores it (an object
// already under that id is freed), makes it the main and current window and
// stamps it once. Returns the id.
std::uint32_t register_canvas_window(std::unique_ptr<canvas_window> window);

void close_canvas_window(std::uint32_t id);
void destroy_canvas_window(canvas_window& window);

}  // namespace orvi
