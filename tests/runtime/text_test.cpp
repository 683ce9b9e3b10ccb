#include "runtime/text.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace orvi;

using views = std::initializer_list<std::string_view>;

TEST(Utf8, StrictValidationAndConversion) {
  // Overlong, surrogates, above U+10FFFF, stray bytes, truncated, bad
  // continuation, and a view that ends inside a sequence whose rest follows.
  for (std::string_view s :
       views{"\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
             "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\x80", "\xE2\x82", "a\xF0\x9F\x98", "\xC3\xA9\xC3", "\xC3\x28",
             "\xC3\xC3", "\xE2\x28\xA1", std::string_view("a\xC3\xA9", 2), std::string_view("\xF0\x9F\x98\x80", 3)})
    EXPECT_FALSE(is_valid_utf8(s) || utf8_to_utf16(s)) << ::testing::PrintToString(std::string(s));
  // Unpaired surrogates, at the end or not, a pair in the wrong order, and a
  // view that ends inside a pair.
  for (std::u16string_view bad : std::initializer_list<std::u16string_view>{
           u"\xD800", u"\xD800\x0061", u"\xD83D\xD83D", u"\xDC00", u"a\xDFFF\x0062", u"\xDE00\xD83D",
           std::u16string_view(u"\U0001F600", 1)})
    EXPECT_FALSE(utf16_to_utf8(bad).has_value());
  EXPECT_TRUE(utf8_to_utf16("a\xC3\xA9\xF0\x9F\x98\x80") == std::optional<std::u16string>(u"a\u00E9\U0001F600"));
  // Every scalar value (U+0000 too), there and back.
  std::u16string wide;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp < 0xD800 || (cp > 0xDFFF && cp < 0x10000)) wide.push_back(static_cast<char16_t>(cp));
    if (cp >= 0x10000) wide += {char16_t(0xD800 + ((cp - 0x10000) >> 10)), char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))};
  }
  const auto narrow = utf16_to_utf8(wide);
  ASSERT_TRUE(narrow.has_value());
  EXPECT_TRUE(is_valid_utf8(*narrow) && is_valid_utf8(""));
  EXPECT_EQ(narrow->size(), 0x80u + 2 * (0x800 - 0x80) + 3 * (0x10000 - 0x800 - 0x800) + 4 * 0x100000);
  EXPECT_TRUE(utf8_to_utf16(*narrow) == wide);
}

TEST(Text, FromUtf8AndSmallHelpers) {
  const byte_vector bytes = {'x', 0xC3, 0xA9, 0xFF, 'y', 0x00, 'z'};
  // Invalid UTF-8 passes unchanged; a zero byte outside the range is no matter.
  for (auto [offset, length, expected] : {std::tuple{3, 2, "\xFFy"}, {6, 1, "z"}, {5, 0, ""}, {5, -3, ""}})
    EXPECT_EQ(text_from_utf8(bytes, offset, length), expected);
  for (auto [offset, length] : {std::pair{4, 2}, {5, 1}}) {
    try {
      text_from_utf8(bytes, offset, length);
      ADD_FAILURE() << "no exception for " << offset << "," << length;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Text.FromUtf8 does not accept an embedded zero byte");
    }
  }
  for (auto [start, end, want] : {std::tuple{1, 2, "b"}, {1, 99, "bc"}, {5, 9, ""}, {2, 1, ""}, {0, -4, ""}})
    EXPECT_EQ(clamped_substring("abc", start, end), want) << start << "," << end;
  EXPECT_THROW(clamped_substring("abc", -1, 2), std::out_of_range);
  for (auto [index, want] : {std::pair{0, 195}, {1, 169}, {2, -1}, {-1, -1}})
    EXPECT_EQ(byte_at_or_minus_one("\xC3\xA9", index), want) << index;
  EXPECT_TRUE(starts_with("abc", "ab") && !starts_with("ab", "abc"));
  EXPECT_TRUE(is_hex_text("09afAF") && is_hex_text(""));
  for (std::string_view s : views{"0x1", "g", "G", "/", ":", "@", "`", std::string_view("a\0", 2)})
    EXPECT_FALSE(is_hex_text(s)) << s;
  EXPECT_EQ(bool_to_text(true) + bool_to_text(false), "truefalse");
}
