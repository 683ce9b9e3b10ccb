#include "runtime/format.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvi {
namespace {

struct format_case {
  std::string templ;
  std::vector<std::string> args;
  std::string expected;
};

TEST(Format, Placeholders) {
  const format_case cases[] = {
      {"a{0}b", {"X"}, "aXb"},
      {"{1}{0}", {"a", "b"}, "ba"},
      {"{0}{0}", {"z"}, "zz"},
      {"{0}", {""}, ""},
      {"{2}", {"a", "b"}, "{2}"},
      {"{0}", {}, "{0}"},
      {"{}", {"a"}, "{}"},
      {"{x}", {"a"}, "{x}"},
      {"{ 0}", {"a"}, "{ 0}"},
      {"{0 }", {"a"}, "{0 }"},
      {"{-0}", {"a"}, "{-0}"},
      {"{-1}", {"a"}, "{-1}"},
      {"{+0}", {"a"}, "{+0}"},
      {"{0x1}", {"a", "b"}, "{0x1}"},
      {"{\xD9\xA0}", {"a"}, "{\xD9\xA0}"},  // a non-ASCII digit is no digit
      {"{0", {"a"}, "{0"},
      {"}", {"a"}, "}"},
      {"0}", {"a"}, "0}"},
      {"{{0}", {"a"}, "{a"},
      {"{0}}", {"a"}, "a}"},
      {"{{0}}", {"a"}, "{a}"},
      {"{x{0}", {"a"}, "{xa"},
      {"{007}", {"0", "1", "2", "3", "4", "5", "6", "seven"}, "seven"},
      {"{00}", {"a"}, "a"},
      {"{007}", {"a"}, "{007}"},
      {"{18446744073709551615}", {"a", "b"}, "{18446744073709551615}"},
      {"{00000000000000000000000000001}", {"a", "b"}, "b"},
      {"{0}{1}", {"{1}", "x"}, "{1}x"},  // arguments are not scanned again
      {"{0}", {"{0}"}, "{0}"},
      {"path {0}/store.wal.cordvex", {"data/nb"}, "path data/nb/store.wal.cordvex"},
      {std::string("a\0{0}", 5), {std::string("\0b", 2)}, std::string("a\0\0b", 4)},
      {"", {"a"}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_placeholders(c.templ, c.args), c.expected) << testing::PrintToString(c.templ);
  }
}

TEST(Format, IndexBeyond64BitsRaises) {
  for (const char* templ : {"{18446744073709551616}", "ok {99999999999999999999}", "{0}{184467440737095516150}"}) {
    try {
      format_placeholders(templ, {"a", "b"});
      ADD_FAILURE() << templ;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "stoull");
    }
  }
  // Only an actual placeholder is converted.
  EXPECT_EQ(format_placeholders("{18446744073709551616x}", {}), "{18446744073709551616x}");
}

TEST(Format, LeavesErrnoAlone) {
  for (int before : {0, EDOM, ERANGE}) {
    errno = before;
    format_placeholders("{0}{007}{18446744073709551615}{x}", {"a"});
    EXPECT_EQ(errno, before);
    try {
      format_placeholders("{18446744073709551616}", {});
    } catch (const std::out_of_range&) {
    }
    EXPECT_EQ(errno, before);
  }
}

}  // namespace
}  // namespace orvi
