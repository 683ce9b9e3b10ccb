#include "host/platform.hpp"

namespace orvi {
namespace {

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
  return table;
}

}  // namespace

host_platform& platform() {
  static host_platform table = make_real_platform();
  return table;
}

}  // namespace orvi
