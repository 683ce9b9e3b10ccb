#include "storage/store_record.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace orvi {
namespace {

using pairs = std::vector<std::pair<std::string, std::string>>;
pairs pairs_of(const store_record& s) {
  pairs out;
  for (const auto& e : s.entries) out.emplace_back(e.key, e.value);
  return out;
}

template <typename T>
bool valid_with(T store_record::*field, T value) {
  store_record s = new_empty_store("d");
  s.*field = std::move(value);
  return is_valid_store(s);
}

TEST(StoreRecord, NewFailedAndWholeStoreCheck) {
  const auto fields = [](const store_record& r) {
    return std::make_tuple(r.schema_id, r.format_version, r.directory, r.generation, r.byte_budget, r.entries.size(),
                           r.dirty, r.open, r.status);
  };
  EXPECT_EQ(fields(new_empty_store("data/nb")),
            std::make_tuple("cordvex.store.v1", 1, "data/nb", 0, 2097152, 0u, 0, 1, "ok"));
  EXPECT_EQ(fields(failed_store("data/nb", "snapshot header is invalid")),
            std::make_tuple("cordvex.store.v1", 1, "data/nb", 0, 2097152, 0u, 0, 0, "snapshot header is invalid"));
  EXPECT_TRUE(is_valid_store(new_empty_store("data/nb")));

  for (auto [budget, ok] : {std::pair{1023, false}, {1024, true}, {268435456, true}, {268435457, false}})
    EXPECT_EQ(valid_with(&store_record::byte_budget, budget), ok) << budget;
  for (auto [length, ok] : {std::pair{0, false}, {4096, true}, {4097, false}})
    EXPECT_EQ(valid_with(&store_record::directory, std::string(length, 'd')), ok) << length;
  EXPECT_FALSE(valid_with(&store_record::generation, -1));
  EXPECT_FALSE(valid_with(&store_record::schema_id, std::string("cordvex.store.v2")));
  EXPECT_FALSE(valid_with(&store_record::format_version, 2));
  // Every entry counts, deleted or not, and each is checked.
  using entries = std::vector<store_entry>;
  EXPECT_TRUE(valid_with(&store_record::entries, entries(65536, {"k", "v", 1})));
  EXPECT_FALSE(valid_with(&store_record::entries, entries(65537, {"k", "v", 1})));
  EXPECT_FALSE(valid_with(&store_record::entries, entries{{"k", "v", 0}, {"", "v", 1}}));
  EXPECT_FALSE(valid_with(&store_record::entries, entries{{"k", std::string(1048577, 'v'), 1}}));
}

TEST(StoreRecord, PutRefusalsChangeNothing) {
  // Mended fault: a zero byte in a key or value could be written but never
  // read back, so store_put refuses it up front.
  const pairs refused = {{"", "v"},
                         {std::string(4097, 'k'), "v"},
                         {"k", std::string(1048577, 'v')},
                         {std::string("a\0b", 3), "v"},
                         {"k", std::string("x\0", 2)}};
  store_record s = new_empty_store("d");
  for (int dirty : {0, 1}) {
    const auto before = pairs_of(s);
    for (const auto& [k, v] : refused) EXPECT_FALSE(store_put(s, k, v)) << testing::PrintToString(k);
    EXPECT_EQ(s.dirty, dirty);
    EXPECT_EQ(pairs_of(s), before);
    EXPECT_TRUE(store_put(s, "k", ""));
    EXPECT_TRUE(store_put(s, std::string(4096, 'k'), std::string(1048576, 'v')));
    EXPECT_TRUE(store_put(s, "\xFF\x80", "invalid UTF-8 is not looked at"));
  }
  // A failed store is changed too: put does not look at the open flag.
  store_record f = failed_store("d", "snapshot header is invalid");
  EXPECT_TRUE(store_put(f, "k", "v"));
  EXPECT_EQ(pairs_of(f), (pairs{{"k", "v"}}));
}

TEST(StoreRecord, ReplaceReviveAndDelete) {
  store_record s = new_empty_store("d");
  for (const char* k : {"b", "a", "ab", "abc"}) ASSERT_TRUE(store_put(s, k, std::string("v") + k));
  s.dirty = 0;
  EXPECT_TRUE(store_put(s, "a", "new"));
  EXPECT_EQ(pairs_of(s), (pairs{{"b", "vb"}, {"a", "new"}, {"ab", "vab"}, {"abc", "vabc"}}));
  EXPECT_EQ(s.dirty, 1);

  // Keys match byte for byte only: a prefix or an extension is another key.
  s.entries[2].deleted = 1;
  EXPECT_EQ(std::make_tuple(store_index_of(s, "ab"), store_index_of(s, "abcd"), live_entry_count(s)),
            std::make_tuple(2, -1, 3));
  for (auto [key, found, value] : {std::tuple{"ab", 0, ""}, {"abc", 1, "vabc"}, {"zz", 0, ""}})
    EXPECT_EQ(std::make_tuple(store_get(s, key).found, store_get(s, key).value), std::make_tuple(found, value)) << key;

  // A deleted key comes back in its old place.
  EXPECT_TRUE(store_put(s, "ab", "again"));
  EXPECT_EQ(pairs_of(s), (pairs{{"b", "vb"}, {"a", "new"}, {"ab", "again"}, {"abc", "vabc"}}));
  EXPECT_EQ(live_entry_count(s), 4);
  EXPECT_EQ(text_to_byte_vector("\xC3\xA9"), (byte_vector{0xC3, 0xA9}));
}

}  // namespace
}  // namespace orvi
