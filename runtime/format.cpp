#include "runtime/format.hpp"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace orvi {

namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Reads decimal digits as an unsigned 64-bit number; leading zeros allowed.
// errno is left as it was: the conversion never touches it.
std::uint64_t parse_index(std::string_view digits) {
  constexpr auto max = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t n = 0;
  for (char c : digits) {
    const auto d = static_cast<std::uint64_t>(c - '0');
    if (n > max / 10 || (n == max / 10 && d > max % 10)) throw std::out_of_range("stoull");
    n = n * 10 + d;
  }
  return n;
}

// The text is sized once for the template and every argument, so filling it
// allocates once (an index used twice may grow it); the runs between braces
// are copied whole.
template <class Arg>
std::string fill_template(std::string_view templ, const Arg* args, std::size_t count) {
  std::size_t size = templ.size();
  for (std::size_t a = 0; a < count; ++a) size += args[a].size();
  std::string out;
  out.reserve(size);
  std::size_t i = 0;
  while (i < templ.size()) {
    std::size_t open = i;
    while (open < templ.size() && templ[open] != '{') ++open;
    out.append(templ.substr(i, open - i));
    i = open;
    if (i == templ.size()) break;
    const std::size_t close = templ.find('}', i + 1);
    if (close == std::string_view::npos) {
      out.push_back(templ[i++]);
      continue;
    }
    const std::string_view inner = templ.substr(i + 1, close - i - 1);
    if (!all_digits(inner)) {
      out.push_back(templ[i++]);
      continue;
    }
    const std::uint64_t n = parse_index(inner);
    if (n < count) {
      out.append(args[static_cast<std::size_t>(n)]);
    } else {
      out.append(templ.substr(i, close - i + 1));
    }
    i = close + 1;
  }
  return out;
}

}  // namespace

std::string format_placeholders(std::string_view templ, const std::vector<std::string>& args) {
  return fill_template(templ, args.data(), args.size());
}

std::string format_placeholders(std::string_view templ, std::initializer_list<std::string_view> args) {
  return fill_template(templ, args.begin(), args.size());
}

}  // namespace orvi
