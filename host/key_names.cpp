#include "host/key_names.hpp"

#include <array>
#include <string>
#include <utility>

namespace orvi {
namespace {

constexpr std::array<std::pair<std::string_view, std::uint32_t>, 19> named_keys{{
    {"backspace", 8}, {"tab", 9},     {"enter", 13},    {"return", 13}, {"shift", 16}, {"escape", 27}, {"esc", 27},
    {"space", 32},    {"pageup", 33}, {"pagedown", 34}, {"end", 35},    {"home", 36},  {"left", 37},   {"up", 38},
    {"right", 39},    {"down", 40},   {"f10", 121},     {"f11", 122},   {"f12", 123},
}};

}  // namespace

std::uint32_t virtual_key_for_name(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower.size() == 1) {
    const char c = lower[0];
    if (c >= 'a' && c <= 'z') return static_cast<std::uint32_t>(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c);
    return 0;
  }
  if (lower.size() == 2 && lower[0] == 'f' && lower[1] >= '1' && lower[1] <= '9') {
    return 112 + static_cast<std::uint32_t>(lower[1] - '1');
  }
  for (const auto& [key_name, key] : named_keys) {
    if (lower == key_name) return key;
  }
  return 0;
}

}  // namespace orvi
