#include <windows.h>

#include "runtime/file_access.hpp"

namespace orvi {

namespace {
constexpr int MAX_ENV_UNITS = 32768;
}

text read_environment_text(const text& name) {
  if (name.empty() || static_cast<std::int64_t>(name.size()) > MAX_PLATFORM_TEXT_BYTES ||
      name.find('\0') != text::npos) {
    return {};
  }
  // -1: the terminating zero is converted too.
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.c_str(), -1, nullptr, 0);
  if (units < 1 || units > MAX_ENV_UNITS) return {};
  std::wstring wide_name(static_cast<std::size_t>(units), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.c_str(), -1, wide_name.data(), units) != units) {
    return {};
  }

  const DWORD needed = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (needed < 1 || needed > MAX_ENV_UNITS) return {};
  std::wstring value(needed, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide_name.c_str(), value.data(), needed);
  if (got == 0 || got != needed - 1) return {};

  const int value_units = static_cast<int>(got);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, value.data(), value_units, nullptr, 0, nullptr, nullptr);
  if (bytes < 1 || bytes > MAX_PLATFORM_TEXT_BYTES) return {};
  text result(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, value.data(), value_units, result.data(), bytes, nullptr,
                          nullptr) != bytes) {
    return {};
  }
  return result;
}

}  // namespace orvi
