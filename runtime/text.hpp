// Texts are byte strings holding UTF-8; these are the helpers every subsystem shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvi {

using text = std::string;
using byte_vector = std::vector<std::uint8_t>;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view s);

// "Text.FromUtf8": copies bytes [offset, offset + length); the caller keeps the
// range inside the vector. Raises std::invalid_argument on a zero byte.
text text_from_utf8(const byte_vector& bytes, std::int32_t offset, std::int32_t length);

// Bytes [start, end) clamped to the text; a negative start raises std::out_of_range.
text clamped_substring(const text& s, std::int64_t start, std::int64_t end);

bool starts_with(std::string_view s, std::string_view prefix);

// The byte at index as 0..255, or -1 outside the text.
int byte_at_or_minus_one(std::string_view s, std::int64_t index);

text bool_to_text(bool flag);

bool is_hex_text(std::string_view s);

// Strict conversions for platform calls: nullopt for any invalid sequence
// (unpaired surrogates included). No length limits here; callers add theirs.
std::optional<std::u16string> utf8_to_utf16(std::string_view s);
std::optional<text> utf16_to_utf8(std::u16string_view s);

}  // namespace orvi
