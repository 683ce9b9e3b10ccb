#include "host/text_walk.hpp"

namespace orvi {
namespace {

bool is_continuation(std::string_view text, std::size_t at) {
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

unsigned char byte_at(std::string_view text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

}  // namespace

std::size_t undrawable_sequence_length(std::string_view text, std::size_t at) {
  const unsigned char lead = byte_at(text, at);
  if (lead >= 0xC2 && lead <= 0xDF) return is_continuation(text, at + 1) ? 2 : 1;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!is_continuation(text, at + 1) || !is_continuation(text, at + 2)) return 1;
    const unsigned char second = byte_at(text, at + 1);
    if (lead == 0xE0 && second < 0xA0) return 1;  // overlong
    if (lead == 0xED && second > 0x9F) return 1;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!is_continuation(text, at + 1) || !is_continuation(text, at + 2) || !is_continuation(text, at + 3)) return 1;
    const unsigned char second = byte_at(text, at + 1);
    if (lead == 0xF0 && second < 0x90) return 1;  // overlong
    if (lead == 0xF4 && second > 0x8F) return 1;  // above U+10FFFF
    return 4;
  }
  return 1;
}

}  // namespace orvi
