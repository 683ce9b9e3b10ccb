// Pieces of the provider's lines. Values are always placeholder arguments,
// never templates, so a caller's "{0}" appears as written.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/format.hpp"

namespace orvi::provider_text {

// A value rendered for a line: texts as they are, numbers in decimal with
// their own signedness (an unsigned thread id of 2^31 stays positive, a
// negative caret position keeps its sign), flags as "true" or "false".
struct value {
  std::string text;
  value(std::string_view t) : text(t) {}
  value(const std::string& t) : text(t) {}
  value(const char* t) : text(t) {}
  value(std::int32_t n) : text(std::to_string(n)) {}
  value(std::uint32_t n) : text(std::to_string(n)) {}
  value(std::uint64_t n) : text(std::to_string(n)) {}
  value(bool b) : text(b ? "true" : "false") {}
};

inline std::string fill(std::string_view templ, std::initializer_list<value> values) {
  std::vector<std::string> args;
  args.reserve(values.size());
  for (const value& v : values) args.push_back(v.text);
  return format_placeholders(templ, args);
}

}  // namespace orvi::provider_text
