#include "runtime/text.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace orvi {
namespace {

TEST(Utf8, StrictValidation) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},
      {"plain ascii", true},
      {std::string("\0", 1), true},
      {"\xC3\xA9", true},
      {"\xE2\x82\xAC", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
      {"\xED\x9F\xBF", true},      // U+D7FF, just below the surrogates
      {"\xEE\x80\x80", true},      // U+E000, just above them
      {"\xC0\x80", false},         // overlong
      {"\xC1\xBF", false},
      {"\xE0\x80\x80", false},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},  // surrogates
      {"\xED\xBF\xBF", false},
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
      {"\x80", false},
      {"\xC3", false},  // truncated
      {"\xE2\x82", false},
      {"a\xF0\x9F\x98", false},
      {"\xC3\x28", false},  // continuation of the wrong form
      {"\xE2\x28\xA1", false},
      {"\xC3\xA9\xC3", false},
  };
  for (const auto& [s, valid] : cases) EXPECT_EQ(is_valid_utf8(s), valid) << testing::PrintToString(s);
}

// Counting every valid two- and three-byte string catches any slip in the
// overlong, surrogate or continuation rules: ASCII runs plus exact encodings.
TEST(Utf8, ExhaustiveShortStringCounts) {
  int two = 0;
  std::string s(2, '\0');
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      s[0] = static_cast<char>(a), s[1] = static_cast<char>(b);
      two += is_valid_utf8(s);
    }
  EXPECT_EQ(two, 128 * 128 + (0x800 - 0x80));

  long three = 0;
  s.assign(3, '\0');
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b)
      for (int c = 0; c < 256; ++c) {
        s[0] = static_cast<char>(a), s[1] = static_cast<char>(b), s[2] = static_cast<char>(c);
        three += is_valid_utf8(s);
      }
  EXPECT_EQ(three, 128L * 128 * 128 + 2L * 128 * (0x800 - 0x80) + (0x10000 - 0x800 - 0x800));
}

TEST(Utf8, Utf16RoundTripOfEveryScalarValue) {
  std::u16string wide;
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      wide.push_back(static_cast<char16_t>(cp));
    } else {
      wide.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  const auto narrow = utf16_to_utf8(wide);
  ASSERT_TRUE(narrow.has_value());
  EXPECT_TRUE(is_valid_utf8(*narrow));
  EXPECT_EQ(narrow->size(), 0x7Fu + 2 * (0x800 - 0x80) + 3 * (0x10000 - 0x800 - 0x800) + 4 * 0x100000);
  const auto back = utf8_to_utf16(*narrow);
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(*back == wide);

  EXPECT_EQ(utf16_to_utf8(u"\U0001F600"), std::optional<std::string>("\xF0\x9F\x98\x80"));
  EXPECT_TRUE(utf8_to_utf16("a\xC3\xA9\xF0\x9F\x98\x80") == std::optional<std::u16string>(u"a\u00E9\U0001F600"));
  EXPECT_EQ(utf16_to_utf8(u""), std::optional<std::string>(""));
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, u'\0')), std::optional<std::string>(std::string(1, '\0')));
}

TEST(Utf8, ConversionsRejectInvalidSequences) {
  const std::u16string bad16[] = {
      {char16_t(0xD800)},                    // high surrogate at the end
      {char16_t(0xD800), u'a'},              // high surrogate before a non-surrogate
      {char16_t(0xD83D), char16_t(0xD83D)},  // two high surrogates
      {char16_t(0xDC00)},                    // lone low surrogate
      {u'a', char16_t(0xDFFF), u'b'},        //
      {char16_t(0xDE00), char16_t(0xD83D)},  // pair in the wrong order
  };
  for (const auto& s : bad16) EXPECT_FALSE(utf16_to_utf8(s).has_value());
  // A view that ends inside a sequence, with the rest of it right behind.
  const std::u16string pair = u"\U0001F600";
  EXPECT_FALSE(utf16_to_utf8(std::u16string_view(pair.data(), 1)).has_value());
  EXPECT_FALSE(utf8_to_utf16(std::string_view("\xF0\x9F\x98\x80", 3)).has_value());
  EXPECT_FALSE(is_valid_utf8(std::string_view("a\xC3\xA9", 2)));

  for (const char* s : {"\xED\xA0\x80", "\xC0\x80", "\xC3", "\x80", "ok\xF5\x80\x80\x80", "\xF4\x90\x80\x80"})
    EXPECT_FALSE(utf8_to_utf16(s).has_value()) << testing::PrintToString(std::string(s));
}

TEST(Text, FromUtf8CopiesRangeAndRefusesZeroByte) {
  const byte_vector bytes = {'x', 0xC3, 0xA9, 0xFF, 'y', 0x00, 'z'};
  EXPECT_EQ(text_from_utf8(bytes, 1, 2), "\xC3\xA9");
  EXPECT_EQ(text_from_utf8(bytes, 3, 2), "\xFFy");  // invalid UTF-8 passes unchanged
  EXPECT_EQ(text_from_utf8(bytes, 6, 1), "z");
  EXPECT_EQ(text_from_utf8(bytes, 5, 0), "");  // zero byte outside the range
  EXPECT_EQ(text_from_utf8(bytes, 5, -3), "");
  for (auto [offset, length] : {std::pair{4, 2}, std::pair{5, 1}, std::pair{0, 7}}) {
    try {
      text_from_utf8(bytes, offset, length);
      ADD_FAILURE() << "no exception for " << offset << "," << length;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Text.FromUtf8 does not accept an embedded zero byte");
    }
  }
}

TEST(Text, SmallHelpers) {
  EXPECT_EQ(clamped_substring("abc", 1, 2), "b");
  EXPECT_EQ(clamped_substring("abc", 5, 9), "");
  EXPECT_EQ(clamped_substring("abc", 2, 1), "");
  EXPECT_EQ(clamped_substring("abc", 0, -4), "");
  EXPECT_EQ(clamped_substring("abc", 1, 99), "bc");
  EXPECT_EQ(clamped_substring("abc", 3, 3), "");
  EXPECT_THROW(clamped_substring("abc", -1, 2), std::out_of_range);

  EXPECT_EQ(byte_at_or_minus_one("\xC3\xA9", 0), 195);
  EXPECT_EQ(byte_at_or_minus_one("\xC3\xA9", 1), 169);
  EXPECT_EQ(byte_at_or_minus_one("\xC3\xA9", 2), -1);
  EXPECT_EQ(byte_at_or_minus_one("\xC3\xA9", -1), -1);
  EXPECT_EQ(byte_at_or_minus_one("", 0), -1);

  EXPECT_TRUE(starts_with("abc", ""));
  EXPECT_TRUE(starts_with("abc", "ab"));
  EXPECT_FALSE(starts_with("ab", "abc"));
  EXPECT_FALSE(starts_with("abc", "b"));

  EXPECT_TRUE(is_hex_text("0aF9"));
  EXPECT_TRUE(is_hex_text(""));
  EXPECT_TRUE(is_hex_text("abc"));
  EXPECT_FALSE(is_hex_text("0x1"));
  EXPECT_FALSE(is_hex_text("g"));
  EXPECT_FALSE(is_hex_text("G"));
  EXPECT_FALSE(is_hex_text(std::string_view("a\0", 2)));

  EXPECT_EQ(bool_to_text(true), "true");
  EXPECT_EQ(bool_to_text(false), "false");
}

}  // namespace
}  // namespace orvi
