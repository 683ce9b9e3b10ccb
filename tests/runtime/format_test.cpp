#include "runtime/format.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <utility>

using namespace orvi;

TEST(Format, Placeholders) {
  using args = std::vector<std::string>;
  const args one = {"a"}, two = {"a", "b"},
             many = {"0", "1", "2", "3", "4", "5", "6", "seven", "8", "9", "ten", "11", "12"};
  const std::tuple<std::string, args, std::string> cases[] = {
      // A missing index is copied; leading zeros are allowed; the largest
      // 64-bit index is no error.
      {"{1}{0}{0} {2}{0} {0x1} {00000000000000000000000000001} {18446744073709551615}", two,
       "baa {2}a {0x1} b {18446744073709551615}"},
      {"{007}{00}{12}", many, "seven012"},
      {"{007}", one, "{007}"},
      // Only ASCII digits between braces make a placeholder (':' follows '9').
      {"{}{x}{ 0}{-1}{+0}{1/}{:}{\xD9\xA0} 0} {{0} {{0}}", one, "{}{x}{ 0}{-1}{+0}{1/}{:}{\xD9\xA0} 0} {a {a}"},
      // A brace never closed, or at the very end, is copied.
      {"{0}{0", one, "a{0"},
      {"{12", many, "{12"},
      {"ab{", one, "ab{"},
      {"{0}{1}", {"{1}", "x"}, "{1}x"},  // arguments are not scanned again
      {std::string("a\0{0}", 5), {std::string("\0b", 2)}, std::string("a\0\0b", 4)},
  };
  // Arguments given in place fill the same as a vector of them.
  const auto in_place = [](const std::string& templ, const args& a) {
    const auto fill = [&]<std::size_t... I>(std::index_sequence<I...>) {
      return format_placeholders(templ, {std::string_view(a[I])...});
    };
    if (a.size() == 1) return fill(std::make_index_sequence<1>());
    if (a.size() == 2) return fill(std::make_index_sequence<2>());
    return fill(std::make_index_sequence<13>());
  };
  for (const auto& [templ, arguments, expected] : cases) {
    EXPECT_EQ(format_placeholders(templ, arguments), expected) << ::testing::PrintToString(templ);
    EXPECT_EQ(in_place(templ, arguments), expected) << ::testing::PrintToString(templ);
  }
}

TEST(Format, IndexBeyond64BitsRaisesAndErrnoIsLeftAlone) {
  for (int before : {0, ERANGE}) {
    errno = before;
    EXPECT_EQ(format_placeholders("{0}{18446744073709551616x}", {"a"}), "a{18446744073709551616x}");
    for (const char* templ : {"{18446744073709551616}", "ok {0}{184467440737095516150}"}) {
      try {
        format_placeholders(templ, {"a", "b"});
        ADD_FAILURE() << templ;
      } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "stoull");
      }
    }
    EXPECT_EQ(errno, before);
  }
}
