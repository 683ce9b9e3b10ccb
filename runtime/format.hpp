// "{0}"-style placeholder formatting for every composed message, path and record text.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvi {

// A placeholder is "{", one or more ASCII digits, "}". An index without an
// argument stays as written; any other brace is copied. An index above
// 2^64-1 raises std::out_of_range("stoull").
std::string format_placeholders(std::string_view templ, const std::vector<std::string>& args);
// The same for arguments given in place ("{...}"), which are read where they
// are rather than copied into a vector first.
std::string format_placeholders(std::string_view templ, std::initializer_list<std::string_view> args);

}  // namespace orvi
