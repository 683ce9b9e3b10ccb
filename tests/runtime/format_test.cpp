#include "runtime/format.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace orvi {
namespace {

TEST(Format, Placeholders) {
  const std::vector<std::string> one = {"a"},
                                 many = {"0", "1", "2", "3", "4", "5", "6", "seven", "8", "9", "ten", "11", "12"};
  const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {
      {"{1}{0}{0}", {"a", "b"}, "baa"},
      {"{2}{0}", {"a", "b"}, "{2}a"},  // a missing index is copied
      {"{}{x}{ 0}{-1}{+0}{1/}", one, "{}{x}{ 0}{-1}{+0}{1/}"},
      {"{0x1}", {"a", "b"}, "{0x1}"},
      {"{\xD9\xA0}", one, "{\xD9\xA0}"},  // a non-ASCII digit is no digit
      {"{0", one, "{0"},
      {"ab{", one, "ab{"},  // a brace at the end, or never closed
      {"{12", many, "{12"},
      {"0}", one, "0}"},
      {"{{0}", one, "{a"},
      {"{{0}}", one, "{a}"},
      {"{007}{00}{:}", many, "seven0{:}"},  // leading zeros; ':' follows '9'
      {"{007}", one, "{007}"},
      {"{00000000000000000000000000001}", {"a", "b"}, "b"},
      {"{18446744073709551615}", {"a", "b"}, "{18446744073709551615}"},
      {"{0}{1}", {"{1}", "x"}, "{1}x"},  // arguments are not scanned again
      {std::string("a\0{0}", 5), {std::string("\0b", 2)}, std::string("a\0\0b", 4)},
  };
  for (const auto& [templ, args, expected] : cases)
    EXPECT_EQ(format_placeholders(templ, args), expected) << testing::PrintToString(templ);
}

TEST(Format, IndexBeyond64BitsRaisesAndErrnoIsLeftAlone) {
  for (int before : {0, ERANGE}) {
    errno = before;
    EXPECT_EQ(format_placeholders("{0}{007}{18446744073709551615}{18446744073709551616x}", {"a"}),
              "a{007}{18446744073709551615}{18446744073709551616x}");  // only a placeholder is converted
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

}  // namespace
}  // namespace orvi
