// A second process for the clipboard tests.
//   clipboard_peer expect TEXT   exit 0 when the clipboard's Unicode text is TEXT,
//                                2 when it holds none, 3 when it differs
//   clipboard_peer empty         empties the clipboard; exit 0
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  bool open = false;
  for (int i = 0; i < 200 && !(open = OpenClipboard(nullptr)); ++i) Sleep(10);
  if (!open) return 4;
  int result = 64;
  if (argc == 2 && std::strcmp(argv[1], "empty") == 0) result = EmptyClipboard() ? 0 : 5;
  if (argc == 3 && std::strcmp(argv[1], "expect") == 0) {
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    result = !text ? 2 : std::wstring(argv[2], argv[2] + std::strlen(argv[2])) == text ? 0 : 3;
    if (text) GlobalUnlock(data);
  }
  CloseClipboard();
  return result;
}
