#include "host/message_pump.hpp"

#include <windows.h>

namespace orvi {

void pump_window_messages() {
  MSG message;
  for (int i = 0; i < 32; ++i) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace orvi
