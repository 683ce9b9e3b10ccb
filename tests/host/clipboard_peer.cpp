// A second process for the clipboard tests.
//   clipboard_peer expect TEXT   exit 0 when the clipboard's Unicode text is TEXT,
//                                2 when it holds none, 3 when it differs
//   clipboard_peer empty         empties the clipboard; exit 0
#include <windows.h>

#include <cstring>
#include <string>

namespace {

bool open_clipboard_patiently() {
  for (int i = 0; i < 200; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(10);
  }
  return false;
}

int expect_text(const char* expected) {
  if (!open_clipboard_patiently()) return 4;
  int result = 2;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      const std::wstring wanted(expected, expected + std::strlen(expected));
      result = wanted == text ? 0 : 3;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return result;
}

int empty_clipboard() {
  if (!open_clipboard_patiently()) return 4;
  const bool emptied = EmptyClipboard() != FALSE;
  CloseClipboard();
  return emptied ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "expect") == 0) return expect_text(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "empty") == 0) return empty_clipboard();
  return 64;
}
