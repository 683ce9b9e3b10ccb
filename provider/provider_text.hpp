// Pieces of the provider's lines. Values are always placeholder arguments,
// never templates, so a caller's "{0}" appears as written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/format.hpp"

namespace orvi::provider_text {

// A value as a line shows it: texts as they are, numbers in decimal with their
// own signedness (an unsigned thread id of 2^31 stays positive, a negative
// caret position keeps its sign), flags as "true" or "false".
inline std::string shown(std::string_view text) { return std::string(text); }
inline std::string shown(const char* text) { return text; }  // not the pointer's truth value
inline std::string shown(std::int32_t n) { return std::to_string(n); }
inline std::string shown(std::uint32_t n) { return std::to_string(n); }
inline std::string shown(std::uint64_t n) { return std::to_string(n); }
inline std::string shown(bool flag) { return flag ? "true" : "false"; }

template <class... Values>
std::string fill(std::string_view templ, const Values&... values) {
  return format_placeholders(templ, {shown(values)...});
}

}  // namespace orvi::provider_text
