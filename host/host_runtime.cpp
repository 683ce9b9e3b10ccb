#include "host/host_runtime.hpp"

#include "host/fonts.hpp"
#include "host/message_pump.hpp"
#include "host/platform.hpp"
#include "host/pointer_lock.hpp"
#include "runtime/errors.hpp"
#include "runtime/format.hpp"

#include <algorithm>
#include <string>

namespace orvi {
namespace {

bool is_open(const canvas_window* window) { return window != nullptr && window->open != 0; }

void make_current_or_none(const canvas_window* window) {
  if (window != nullptr) {
    platform().wgl_make_current(window->device_context, window->gl_context);
  } else {
    platform().wgl_make_current(nullptr, nullptr);
  }
}

void lower_count(std::uint64_t& count, std::uint64_t by) { count = count > by ? count - by : 0; }

void delete_textures(canvas_window& window) {
  auto& p = platform();
  auto& counts = get_render_resource_counts();
  for (auto& entry : window.text_textures) {
    if (entry.texture == 0) continue;
    p.gl_delete_textures(1, &entry.texture);
    lower_count(counts.text_textures, 1);
  }
  for (auto& entry : window.image_textures) {
    if (entry.texture == 0) continue;
    p.gl_delete_textures(1, &entry.texture);
    lower_count(counts.image_textures, 1);
  }
  window.text_textures.clear();
  window.image_textures.clear();
  if (window.spare_texture != 0) {
    p.gl_delete_textures(1, &window.spare_texture);
    lower_count(counts.spare_textures, 1);
    window.spare_texture = 0;
  }
}

void release_layered_resources(canvas_window& window) {
  auto& p = platform();
  auto& counts = get_render_resource_counts();
  if (window.layered_dc != nullptr && window.layered_old_bitmap != nullptr) {
    p.select_object(window.layered_dc, window.layered_old_bitmap);
  }
  window.layered_old_bitmap = nullptr;
  if (window.layered_bitmap != nullptr) {
    p.delete_object(window.layered_bitmap);
    lower_count(counts.layered_bitmaps, 1);
    lower_count(counts.layered_bytes, window.layered_bytes);
    window.layered_bitmap = nullptr;
  }
  if (window.layered_dc != nullptr) {
    p.delete_dc(window.layered_dc);
    window.layered_dc = nullptr;
  }
  window.layered_presented = 0;
  window.layered_bits = nullptr;
  window.layered_width = 0;
  window.layered_height = 0;
  window.layered_bytes = 0;
}

}  // namespace

host_runtime& get_host_runtime() {
  static host_runtime runtime;
  return runtime;
}

render_resource_counts& get_render_resource_counts() {
  static render_resource_counts counts;
  return counts;
}

canvas_window* find_canvas_window(std::uint32_t id) {
  auto& registry = get_host_runtime().registry;
  auto found = registry.find(id);
  return found == registry.end() ? nullptr : found->second.get();
}

canvas_window* find_canvas_window_by_handle(HWND window) {
  if (window == nullptr) return nullptr;
  for (auto& [id, entry] : get_host_runtime().registry) {
    if (entry && entry->window == window) return entry.get();
  }
  return nullptr;
}

void stamp_window_event(canvas_window& window, std::uint64_t code) {
  const std::uint64_t sequence = get_host_runtime().event_sequence++;
  window.last_change_sequence = sequence;
  window.last_input_sequence = sequence;
  window.event_args[4] = sequence;
  if (code != 0) window.last_event_code = code;
}

canvas_window* resolve_current_window() {
  auto& runtime = get_host_runtime();
  canvas_window* current = find_canvas_window(runtime.current_window_id);
  if (is_open(current)) return current;
  canvas_window* main = find_canvas_window(runtime.main_window_id);
  if (is_open(main)) {
    runtime.current_window_id = runtime.main_window_id;
    return main;
  }
  return nullptr;
}

bool is_canvas_foreground() {
  HWND foreground = platform().get_foreground_window();
  if (foreground == nullptr) return false;
  const canvas_window* window = find_canvas_window_by_handle(foreground);
  return is_open(window);
}

void require_canvas(bool condition, std::string_view message) {
  if (condition) return;
  raise_runtime_error("window.canvas", std::string(message), "tovi_window_input_canvas");
}

canvas_window& require_open_window(std::string_view operation) {
  pump_window_messages();
  canvas_window* window = resolve_current_window();
  const bool usable = is_open(window) && window->window != nullptr && window->device_context != nullptr &&
                      window->gl_context != nullptr;
  require_canvas(usable,
                 format_placeholders("window/canvas runtime window is not open for {0}", {std::string(operation)}));
  platform().wgl_make_current(window->device_context, window->gl_context);
  return *window;
}

bool begin_canvas_window_open() {
  auto& runtime = get_host_runtime();
  canvas_window* main = find_canvas_window(runtime.main_window_id);
  if (is_open(main)) {
    runtime.current_window_id = runtime.main_window_id;
    platform().wgl_make_current(main->device_context, main->gl_context);
    return false;
  }
  return runtime.next_window_id <= max_canvas_windows;
}

std::uint32_t register_canvas_window(std::unique_ptr<canvas_window> window) {
  auto& runtime = get_host_runtime();
  const std::uint32_t id = runtime.next_window_id++;
  window->id = id;
  canvas_window& stored = *window;
  runtime.registry[id] = std::move(window);
  runtime.main_window_id = id;
  runtime.current_window_id = id;
  stamp_window_event(stored, 0);
  return id;
}

void close_canvas_window(std::uint32_t id) {
  auto& runtime = get_host_runtime();
  std::vector<std::uint32_t> children;
  // Parent id 0 means no parent: windows without one are nobody's children.
  for (auto& [child_id, entry] : runtime.registry) {
    if (id != 0 && entry && entry->parent_id == id && entry->window != nullptr) children.push_back(child_id);
  }
  std::sort(children.begin(), children.end());
  for (std::uint32_t child_id : children) {
    if (canvas_window* child = find_canvas_window(child_id)) destroy_canvas_window(*child);
  }
  if (canvas_window* window = find_canvas_window(id)) destroy_canvas_window(*window);

  if (runtime.current_window_id == id) runtime.current_window_id = runtime.main_window_id;
  canvas_window* chosen = find_canvas_window(runtime.current_window_id);
  if (!is_open(chosen)) {
    runtime.current_window_id = runtime.main_window_id;
    chosen = find_canvas_window(runtime.main_window_id);
  }
  if (!is_open(chosen)) {
    runtime.current_window_id = 0;
    chosen = nullptr;
  }
  if (chosen != nullptr && (chosen->device_context == nullptr || chosen->gl_context == nullptr)) {
    runtime.current_window_id = 0;
    chosen = nullptr;
  }
  make_current_or_none(chosen);
  pump_window_messages();
}

void destroy_canvas_window(canvas_window& window) {
  auto& p = platform();
  release_pointer_lock(window.window);

  window.key_presses.fill(0);
  window.open = 0;
  window.focused = 0;
  window.minimized = 0;
  window.close_requested = 0;
  stamp_window_event(window, 0);

  release_layered_resources(window);

  if (window.gl_context != nullptr) {
    p.wgl_make_current(window.device_context, window.gl_context);
    delete_textures(window);
    for (auto& slot : window.fonts) {
      if (slot.list_base != 0) p.gl_delete_lists(slot.list_base, 96);
      slot.list_base = 0;
      delete_ui_font(slot);
    }
    p.wgl_make_current(nullptr, nullptr);
    p.wgl_delete_context(window.gl_context);
    window.gl_context = nullptr;
  }

  // The destroy message finds the window by its handle and clears it there too.
  HWND handle = window.window;
  if (window.device_context != nullptr && handle != nullptr) p.release_dc(handle, window.device_context);
  window.device_context = nullptr;
  if (handle != nullptr) p.destroy_window(handle);
  window.window = nullptr;
  window.client_width = 0;
  window.client_height = 0;
}

}  // namespace orvi
