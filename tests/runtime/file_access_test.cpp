#include "runtime/file_access.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::temp_dir;

runtime_error_record read_error(const text& path, std::int64_t maximum) {
  try {
    read_file_bounded(path, maximum);
  } catch (const tovi_runtime_exception& e) {
    return e.record();
  }
  ADD_FAILURE() << "no error for " << path;
  return {};
}

TEST(ReadFileBounded, LimitsAndErrors) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("empty"), {}));
  ASSERT_TRUE(write_file_bytes(tmp.file("one"), {7}));
  EXPECT_TRUE(read_file_bounded(tmp.file("empty"), 0).empty());
  EXPECT_EQ(read_file_bounded(tmp.file("one"), 1), byte_vector{7});

  const auto over = read_error(tmp.file("one"), 0);
  EXPECT_EQ(over.code, "file.read.limit");
  EXPECT_EQ(over.message, "file exceeds maximum byte count: " + tmp.file("one"));

  // A negative maximum is refused before the file is looked at.
  const auto negative = read_error(tmp.file("missing"), -1);
  EXPECT_EQ(negative.code, "file.read.limit");
  EXPECT_EQ(negative.message, "maximum byte count must not be negative");

  const auto missing = read_error(tmp.file("missing"), 10);
  EXPECT_EQ(missing.code, "file.read");
  EXPECT_EQ(missing.message, "unable to open file: " + tmp.file("missing"));
  EXPECT_EQ(read_error("\xFF", 10).code, "file.read");
}

TEST(WriteFileBytes, CreatesTruncatesAndRefuses) {
  temp_dir tmp;
  const text path = tmp.file("f");
  ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
  ASSERT_TRUE(write_file_bytes(path, {}));
  EXPECT_TRUE(read_file_bounded(path, 10).empty()) << "an empty write truncates";

  EXPECT_FALSE(write_file_bytes(tmp.file("missing/f"), {1}));
  EXPECT_FALSE(write_file_bytes("", {1}));
  EXPECT_FALSE(write_file_bytes(tmp.file("bad\xC3"), {1})) << "invalid UTF-8 path";
  EXPECT_FALSE(write_file_bytes(path + std::string("\0x", 2), {1}));
  EXPECT_FALSE(write_file_bytes(std::string(131069, 'a'), {1}));
}

TEST(WriteFileBytes, NonAsciiNamesRoundTrip) {
  temp_dir tmp;
  const text path = tmp.file("caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x93\x9D");
  ASSERT_TRUE(write_file_bytes(path, {42}));
  EXPECT_EQ(read_file_bounded(path, 1), byte_vector{42});
  EXPECT_EQ(testing::list_dir(tmp.str()), std::vector<text>{"caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x93\x9D"});
}

}  // namespace
}  // namespace orvi
