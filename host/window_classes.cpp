#include "host/window_classes.hpp"

#include "host/platform.hpp"
#include "host/window_proc.hpp"

#include <atomic>

namespace orvi {
namespace {

std::atomic<bool> classes_registered{false};

// The per-monitor (version 2) awareness context.
const DPI_AWARENESS_CONTEXT per_monitor_aware_v2 = reinterpret_cast<DPI_AWARENESS_CONTEXT>(static_cast<LONG_PTR>(-4));

}  // namespace

void register_canvas_window_classes() {
  if (classes_registered.exchange(true)) return;
  auto& p = platform();
  p.set_process_dpi_awareness_context(per_monitor_aware_v2);

  WNDCLASSW opaque{};
  opaque.style = CS_OWNDC;
  opaque.lpfnWndProc = &canvas_window_proc;
  opaque.hInstance = GetModuleHandleW(nullptr);
  opaque.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  opaque.hbrBackground = CreateSolidBrush(RGB(10, 11, 13));
  opaque.lpszClassName = canvas_window_class_name;
  p.register_class_w(&opaque);

  WNDCLASSW translucent = opaque;
  translucent.style = 0;
  translucent.hbrBackground = nullptr;
  translucent.lpszClassName = canvas_translucent_window_class_name;
  p.register_class_w(&translucent);
}

}  // namespace orvi
