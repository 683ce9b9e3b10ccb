// Keeps Wine's desktop process alive for a whole test run. Without a window
// the desktop shuts down when idle and the next windowed test starts a new one
// that inherits its output pipe, so ctest waits for that desktop to end.
// Runs until the wineserver is stopped.
#include <windows.h>

int main() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"orvi_test_desktop_keepalive";
  RegisterClassW(&window_class);
  CreateWindowExW(0, window_class.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                  window_class.hInstance, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}
