#include "host/accessibility.hpp"

namespace orvi {
namespace {

void load_libraries(accessibility_bridge& bridge) {
  bridge.loaded = 1;
  bridge.automation_core = LoadLibraryA("UIAutomationCore.dll");
  bridge.ole_automation = LoadLibraryA("OleAut32.dll");
  auto resolve = [](HMODULE module, const char* name) -> FARPROC {
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
  };
  auto& entry = bridge.entry;
  HMODULE core = bridge.automation_core;
  HMODULE ole = bridge.ole_automation;
  entry.return_raw_element_provider = reinterpret_cast<decltype(entry.return_raw_element_provider)>(
      reinterpret_cast<void*>(resolve(core, "UiaReturnRawElementProvider")));
  entry.host_provider_from_hwnd = resolve(core, "UiaHostProviderFromHwnd");
  entry.sys_alloc_string = resolve(ole, "SysAllocString");
  entry.sys_free_string = resolve(ole, "SysFreeString");
  entry.safe_array_create_vector = resolve(ole, "SafeArrayCreateVector");
  entry.safe_array_access_data = resolve(ole, "SafeArrayAccessData");
  entry.safe_array_unaccess_data = resolve(ole, "SafeArrayUnaccessData");
  entry.raise_automation_event = resolve(core, "UiaRaiseAutomationEvent");
  entry.raise_automation_property_changed_event = resolve(core, "UiaRaiseAutomationPropertyChangedEvent");
  entry.raise_structure_changed_event = resolve(core, "UiaRaiseStructureChangedEvent");
}

bool valid_window_id(std::uint32_t id) { return id >= 1 && id <= 16; }

}  // namespace

accessibility_bridge& get_accessibility_bridge() {
  static accessibility_bridge bridge;
  return bridge;
}

LRESULT handle_accessibility_request(HWND window, std::uint32_t window_id, WPARAM first) {
  auto& bridge = get_accessibility_bridge();
  bridge.get_object_messages += 1;
  if (valid_window_id(window_id)) {
    const accessibility_record& root = bridge.roots[window_id - 1];
    if (root.live != 0 && root.window == window) {
      bridge.requested = 1;
      if (bridge.loaded == 0) load_libraries(bridge);
      // A null provider with the root object id crashes some implementations
      // (Wine among them); a live root without one gets the default answer.
      if (bridge.entry.return_raw_element_provider != nullptr && root.provider != nullptr) {
        bridge.last_result = bridge.entry.return_raw_element_provider(window, first, uia_root_object_id, root.provider);
        return bridge.last_result;
      }
    }
  }
  return DefWindowProcW(window, WM_GETOBJECT, first, uia_root_object_id);
}

void clear_accessibility_for_window(std::uint32_t window_id) {
  if (!valid_window_id(window_id)) return;
  auto& bridge = get_accessibility_bridge();
  accessibility_record& root = bridge.roots[window_id - 1];
  root.live = 0;
  root.second_flag = 0;
  root.values = {};
  root.texts[0].clear();
  root.texts[1].clear();
  bridge.window_counters64[window_id - 1] = 0;
  bridge.window_counters32[window_id - 1] = 0;
  for (auto& node : bridge.nodes) {
    if (node.window_id != window_id) continue;
    node.live = 0;
    node.second_flag = 0;
  }
  bridge.shared_counters = {};
}

}  // namespace orvi
