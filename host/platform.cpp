#include "host/platform.hpp"

namespace orvi {
namespace {

template <typename Function>
Function user32_entry(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

// Wine lacks GetPointerPenInfo, and the touch calls are missing on older
// systems: each falls back to failure when absent.
BOOL WINAPI get_pointer_type_at_run_time(UINT32 id, POINTER_INPUT_TYPE* type) {
  static const auto call = user32_entry<BOOL(WINAPI*)(UINT32, POINTER_INPUT_TYPE*)>("GetPointerType");
  return call ? call(id, type) : FALSE;
}

BOOL WINAPI get_pointer_pen_info_at_run_time(UINT32 id, POINTER_PEN_INFO* info) {
  static const auto call = user32_entry<BOOL(WINAPI*)(UINT32, POINTER_PEN_INFO*)>("GetPointerPenInfo");
  return call ? call(id, info) : FALSE;
}

BOOL WINAPI get_touch_input_info_at_run_time(HTOUCHINPUT handle, UINT count, PTOUCHINPUT inputs, int size) {
  static const auto call = user32_entry<BOOL(WINAPI*)(HTOUCHINPUT, UINT, PTOUCHINPUT, int)>("GetTouchInputInfo");
  return call ? call(handle, count, inputs, size) : FALSE;
}

BOOL WINAPI close_touch_input_handle_at_run_time(HTOUCHINPUT handle) {
  static const auto call = user32_entry<BOOL(WINAPI*)(HTOUCHINPUT)>("CloseTouchInputHandle");
  return call ? call(handle) : FALSE;
}

// Older systems lack this entry point; a static import would stop the program
// from loading there, so it is looked up on first use.
BOOL WINAPI set_dpi_awareness_context_at_run_time(DPI_AWARENESS_CONTEXT value) {
  using function = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto call =
      user32
          ? reinterpret_cast<function>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
          : nullptr;
  return call ? call(value) : FALSE;
}

host_platform make_real_platform() {
  host_platform table;
  table.set_process_dpi_awareness_context = &set_dpi_awareness_context_at_run_time;
  table.get_pointer_type = &get_pointer_type_at_run_time;
  table.get_pointer_pen_info = &get_pointer_pen_info_at_run_time;
  table.get_touch_input_info = &get_touch_input_info_at_run_time;
  table.close_touch_input_handle = &close_touch_input_handle_at_run_time;
  return table;
}

}  // namespace

host_platform& platform() {
  static host_platform table = make_real_platform();
  return table;
}

}  // namespace orvi
