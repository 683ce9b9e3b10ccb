#include "storage/store_record.hpp"

#include <gtest/gtest.h>

using namespace orvi;

// The dirty flag, then each entry in order, deleted ones as "key~value".
std::string seen(const store_record& s) {
  std::string out = s.dirty ? "dirty" : "clean";
  for (const auto& e : s.entries) out += " " + e.key + (e.deleted ? "~" : "=") + e.value;
  return out;
}

template <typename T>
bool valid_with(T store_record::*field, T value) {
  store_record s = new_empty_store("d");
  s.*field = std::move(value);
  return is_valid_store(s);
}

TEST(StoreRecord, WholeStoreCheck) {
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

TEST(StoreRecord, PutGetAndRefusals) {
  store_record s = failed_store("d", "snapshot header is invalid");  // put does not look at the open flag
  // Mended fault: a zero byte in a key or value could be written but never
  // read back, so store_put refuses it up front. Refusals change nothing.
  for (const auto& [k, v] : std::vector<std::pair<std::string, std::string>>{{"", "v"},
                                                                             {std::string(4097, 'k'), "v"},
                                                                             {"k", std::string(1048577, 'v')},
                                                                             {std::string("a\0b", 3), "v"},
                                                                             {"k", std::string("x\0", 2)}})
    EXPECT_FALSE(store_put(s, k, v)) << ::testing::PrintToString(k);
  EXPECT_EQ(seen(s), "clean");
  for (const char* k : {"b", "a", "ab", "abc"}) ASSERT_TRUE(store_put(s, k, std::string("v") + k));
  s.dirty = 0;
  s.entries[2].deleted = 1;
  EXPECT_TRUE(store_put(s, "a", "new"));
  EXPECT_EQ(seen(s), "dirty b=vb a=new ab~vab abc=vabc");
  // Keys match byte for byte only: a prefix or an extension is another key.
  EXPECT_EQ(std::make_tuple(store_index_of(s, "ab"), store_index_of(s, "abcd"), live_entry_count(s)),
            std::make_tuple(2, -1, 3));
  for (auto [key, found, value] : {std::tuple{"b", 1, "vb"}, {"ab", 0, ""}, {"abc", 1, "vabc"}, {"zz", 0, ""}})
    EXPECT_EQ(std::make_tuple(store_get(s, key).found, store_get(s, key).value), std::make_tuple(found, value)) << key;
  // A deleted key comes back in its old place; the largest key and value, an
  // empty value and invalid UTF-8 are taken.
  EXPECT_TRUE(store_put(s, "ab", "again") && store_put(s, "e", "") && store_put(s, "\xFF\x80", "\xC3"));
  EXPECT_EQ(seen(s), "dirty b=vb a=new ab=again abc=vabc e= \xFF\x80=\xC3");
  EXPECT_TRUE(store_put(s, std::string(4096, 'k'), std::string(1048576, 'v')));
  EXPECT_EQ(live_entry_count(s), 7);
  EXPECT_EQ(text_to_byte_vector("\xC3\xA9"), (byte_vector{0xC3, 0xA9}));
}
