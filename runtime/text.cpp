#include "runtime/text.hpp"

#include <algorithm>
#include <stdexcept>

namespace orvi {

namespace {

// Decodes one strict UTF-8 sequence at s[i]; returns the code point and advances i,
// or returns -1 when the sequence is invalid.
std::int32_t decode_utf8(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int continuation;
  std::uint32_t smallest;
  std::uint32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1, smallest = 0x80, value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2, smallest = 0x800, value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3, smallest = 0x10000, value = lead & 0x07u;
  } else {
    return -1;
  }
  if (s.size() - i - 1 < static_cast<std::size_t>(continuation)) return -1;
  for (int k = 1; k <= continuation; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return -1;
    value = (value << 6) | (c & 0x3Fu);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return -1;
  i += continuation + 1;
  return static_cast<std::int32_t>(value);
}

}  // namespace

bool is_valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (decode_utf8(s, i) < 0) return false;
  }
  return true;
}

text text_from_utf8(const byte_vector& bytes, std::int32_t offset, std::int32_t length) {
  if (length <= 0) return {};
  const auto* first = bytes.data() + offset;
  const auto* last = first + length;
  if (std::find(first, last, std::uint8_t{0}) != last) {
    throw std::invalid_argument("Text.FromUtf8 does not accept an embedded zero byte");
  }
  return text(first, last);
}

text clamped_substring(const text& s, std::int64_t start, std::int64_t end) {
  if (start < 0) throw std::out_of_range("basic_string::substr");
  const auto n = static_cast<std::int64_t>(s.size());
  const std::int64_t from = std::min(start, n);
  std::int64_t to = std::min(std::max<std::int64_t>(end, 0), n);
  if (to < from) to = from;
  return s.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.starts_with(prefix); }

int byte_at_or_minus_one(std::string_view s, std::int64_t index) {
  if (index < 0 || index >= static_cast<std::int64_t>(s.size())) return -1;
  return static_cast<unsigned char>(s[static_cast<std::size_t>(index)]);
}

text bool_to_text(bool flag) { return flag ? "true" : "false"; }

bool is_hex_text(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); });
}

std::optional<std::u16string> utf8_to_utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const std::int32_t cp = decode_utf8(s, i);
    if (cp < 0) return std::nullopt;
    if (cp >= 0x10000) {
      const auto v = static_cast<std::uint32_t>(cp) - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::optional<text> utf16_to_utf8(std::u16string_view s) {
  text out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return std::nullopt;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00u);
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return std::nullopt;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace orvi
