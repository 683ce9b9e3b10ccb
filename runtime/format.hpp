// "{0}"-style placeholder formatting for every composed message, path and record text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvi {

// A placeholder is "{", one or more ASCII digits, "}". An index without an
// argument stays as written; any other brace is copied. An index above
// 2^64-1 raises std::out_of_range("stoull").
std::string format_placeholders(std::string_view templ, const std::vector<std::string>& args);

}  // namespace orvi
