#include "retained/model/index.hpp"

#include <gtest/gtest.h>

#include <climits>

namespace orvi {

// A count of 0 is taken as 1 instead of dividing by zero; a negative count
// reduces as any other. Past the counts in use the product wraps modulo 2^32 and
// the remainder keeps the dividend's sign ("OY.8Gv" wraps to exactly INT_MIN).
TEST(IndexKeys, KeysAndTextHash) {
  EXPECT_EQ(make_index_key("paint", "bg", 0), "5:paint:2:bg:0");
  EXPECT_EQ(make_index_key("command-sequence", "", 42), "16:command-sequence:0::42");
  EXPECT_EQ(make_index_key("binding", "a:{0}", INT_MIN), "7:binding:5:a:{0}:-2147483648");
  // clang-format off
  const std::tuple<std::string_view, std::int32_t, std::int32_t> rows[] = {
      {"a", 8192, 562}, {"ab", 8192, 2164}, {"abc", 8192, 5879}, {"abc", 64, 55}, {"a b", 8192, 8155},
      {"@/:-_.9Z", 1, 0}, {"", 1, 17}, {"", 8192, 17}, {"abc", 0, 0}, {"abc", INT_MIN, 612087}, {"", 0, 17},
      {"@aaaaa", INT_MAX, -1152418598}, {"zzzzzzz\xC3\xA9", INT_MAX, 670842645}, {"5:paint:2:bg:0", 8192, 5508},
      {"abc", -64, 55}, {"a b", -8192, 8155}, {"abc", -1, 0}, {"", -5, 17}, {"@aaaaa", -1000000000, -152418598},
      {"@aaaaa", INT_MIN, -1152418598}, {"OY.8Gv", INT_MIN, 0}, {"OY.8Gv", -INT_MAX, -1}, {"OY.8Gv", INT_MAX, -1}};
  // clang-format on
  for (const auto& [s, n, expected] : rows) EXPECT_EQ(hash_resource_text(s, n), expected) << s << " " << n;
}

// With one bucket every key is in one chain: the key added last is visited
// first, and a miss walks the whole chain.
TEST(IndexTable, ProbesAndBuckets) {
  index_table table(1);
  for (auto [key, value] : {std::pair{"k", 3u}, {"k", 5u}, {"a", 7u}, {"b", 4294967295u}}) table.assign(key, value);
  EXPECT_EQ(std::make_pair(table.node_count(), table.probes()), std::make_pair(std::size_t{3}, 0u));
  const std::tuple<text, std::int32_t, std::uint32_t> finds[] = {{"b", -1, 1}, {"a", 7, 3}, {"k", 5, 6}, {"c", -1, 9}};
  for (const auto& [key, value, probes] : finds) {
    const std::int32_t found = table.find(key);  // before probes() is read
    EXPECT_EQ(std::make_pair(found, table.probes()), std::make_pair(value, probes)) << key;
  }
  // The empty text hashes to 17 unreduced, past the last bucket of a table of
  // 17 or fewer; a count below 1 gives one bucket.
  for (std::int32_t n : {INT_MIN, -1, 0, 1, 5, 17, 18}) {
    index_table sized(n);
    EXPECT_EQ(sized.bucket_count(), static_cast<std::uint32_t>(std::max(n, 1)));
    EXPECT_EQ(std::make_pair(sized.bucket_of(""), sized.find("")), std::make_pair(17 % std::max(n, 1), -1));
    sized.assign("", 9);
    sized.assign("a b", 1);
    EXPECT_EQ(std::make_pair(sized.find(""), sized.find("a b")), std::make_pair(9, 1));
  }
}

}  // namespace orvi
