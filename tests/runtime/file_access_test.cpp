#include "runtime/file_access.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"
#include "tests/support/temp_dir.hpp"

using namespace orvi;

// "code: message" of the error read_file_bounded raises.
text read_error(const text& path, std::int64_t maximum) {
  try {
    read_file_bounded(path, maximum);
  } catch (const tovi_runtime_exception& e) {
    return e.record().code + ": " + e.record().message;
  }
  return "no error";
}

TEST(FileAccess, WriteAndBoundedRead) {
  orvi::testing::temp_dir tmp;
  const text name = "caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x93\x9D", path = tmp.file(name);
  ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
  EXPECT_EQ(read_file_bounded(path, 3), (byte_vector{1, 2, 3}));
  EXPECT_EQ(orvi::testing::list_dir(tmp.str()), std::vector<text>{name});
  EXPECT_EQ(read_error(path, 2), "file.read.limit: file exceeds maximum byte count: " + path);
  ASSERT_TRUE(write_file_bytes(path, {}));
  EXPECT_TRUE(read_file_bounded(path, 0).empty()) << "an empty write truncates";
  // A negative maximum is refused before the file is looked at.
  EXPECT_EQ(read_error(tmp.file("missing"), -1), "file.read.limit: maximum byte count must not be negative");
  EXPECT_EQ(read_error(tmp.file("missing"), 10), "file.read: unable to open file: " + tmp.file("missing"));
  // Invalid UTF-8, or a name cut at a zero byte, is never opened.
  const text cut = path + std::string("\0x", 2);
  EXPECT_EQ(read_error("\xFF", 10), "file.read: unable to open file: \xFF");
  EXPECT_EQ(read_error(cut, 10), "file.read: unable to open file: " + cut);
  // A missing directory, an empty name, invalid UTF-8, a zero byte, too long.
  for (const text& refused : {tmp.file("missing/f"), text(), tmp.file("bad\xC3"), cut, std::string(131069, 'a')})
    EXPECT_FALSE(write_file_bytes(refused, {1})) << refused.substr(0, 60);
}
