#include "runtime/file_access.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::temp_dir;

// The code and message read_file_bounded raises.
std::pair<text, text> read_error(const text& path, std::int64_t maximum) {
  try {
    read_file_bounded(path, maximum);
  } catch (const tovi_runtime_exception& e) {
    return {e.record().code, e.record().message};
  }
  return {"no error", path};
}

TEST(ReadFileBounded, LimitsAndErrors) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("empty"), {}) && write_file_bytes(tmp.file("one"), {7}));
  EXPECT_TRUE(read_file_bounded(tmp.file("empty"), 0).empty());
  EXPECT_EQ(read_file_bounded(tmp.file("one"), 1), byte_vector{7});
  EXPECT_EQ(read_error(tmp.file("one"), 0),
            std::make_pair(text("file.read.limit"), "file exceeds maximum byte count: " + tmp.file("one")));
  // A negative maximum is refused before the file is looked at.
  EXPECT_EQ(read_error(tmp.file("missing"), -1),
            std::make_pair(text("file.read.limit"), text("maximum byte count must not be negative")));
  EXPECT_EQ(read_error(tmp.file("missing"), 10),
            std::make_pair(text("file.read"), "unable to open file: " + tmp.file("missing")));
  EXPECT_EQ(read_error("\xFF", 10).first, "file.read");
}

TEST(WriteFileBytes, CreatesTruncatesRefusesAndTakesNonAsciiNames) {
  temp_dir tmp;
  const text path = tmp.file("caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x93\x9D");
  ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
  EXPECT_EQ(read_file_bounded(path, 3), (byte_vector{1, 2, 3}));
  EXPECT_EQ(testing::list_dir(tmp.str()), std::vector<text>{"caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x93\x9D"});
  ASSERT_TRUE(write_file_bytes(path, {}));
  EXPECT_TRUE(read_file_bounded(path, 10).empty()) << "an empty write truncates";
  // A missing directory, an empty name, invalid UTF-8, a zero byte, too long.
  for (const text& refused :
       {tmp.file("missing/f"), text(), tmp.file("bad\xC3"), path + std::string("\0x", 2), std::string(131069, 'a')})
    EXPECT_FALSE(write_file_bytes(refused, {1})) << refused.substr(0, 60);
}

}  // namespace
}  // namespace orvi
