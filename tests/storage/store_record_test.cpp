#include "storage/store_record.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvi {
namespace {

std::vector<std::pair<std::string, std::string>> pairs_of(const store_record& s) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : s.entries) out.emplace_back(e.key, e.value);
  return out;
}

TEST(StoreRecord, NewAndFailedStores) {
  const store_record s = new_empty_store("data/nb");
  EXPECT_EQ(s.schema_id, "cordvex.store.v1");
  EXPECT_EQ(s.format_version, 1);
  EXPECT_EQ(s.directory, "data/nb");
  EXPECT_EQ(s.generation, 0);
  EXPECT_EQ(s.byte_budget, 2097152);
  EXPECT_TRUE(s.entries.empty());
  EXPECT_EQ(s.dirty, 0);
  EXPECT_EQ(s.open, 1);
  EXPECT_EQ(s.status, "ok");
  EXPECT_TRUE(is_valid_store(s));

  const store_record f = failed_store("data/nb", "snapshot header is invalid");
  EXPECT_EQ(f.open, 0);
  EXPECT_EQ(f.status, "snapshot header is invalid");
  EXPECT_EQ(f.generation, 0);
  EXPECT_TRUE(f.entries.empty());
  EXPECT_EQ(f.directory, "data/nb");
  EXPECT_EQ(f.byte_budget, 2097152);
}

TEST(StoreRecord, PutLimitsAndRefusals) {
  store_record s = new_empty_store("d");
  EXPECT_FALSE(store_put(s, "", "v"));
  EXPECT_FALSE(store_put(s, std::string(4097, 'k'), "v"));
  EXPECT_FALSE(store_put(s, "k", std::string(1048577, 'v')));
  // A zero byte could be written but never read back, so it is refused up front.
  EXPECT_FALSE(store_put(s, std::string("a\0b", 3), "v"));
  EXPECT_FALSE(store_put(s, "k", std::string("\0", 1)));
  EXPECT_TRUE(s.entries.empty());
  EXPECT_EQ(s.dirty, 0);

  EXPECT_TRUE(store_put(s, "k", ""));
  EXPECT_TRUE(store_put(s, std::string(4096, 'k'), std::string(1048576, 'v')));
  EXPECT_TRUE(store_put(s, "\xFF\x80", "invalid UTF-8 is not looked at"));
  EXPECT_EQ(s.dirty, 1);
  EXPECT_EQ(s.entries.size(), 3u);
  EXPECT_TRUE(is_valid_store(s));

  // A refused put leaves a dirty store dirty and its entries as they were.
  const auto before = pairs_of(s);
  EXPECT_FALSE(store_put(s, "k", std::string(1048577, 'v')));
  EXPECT_FALSE(store_put(s, "k", std::string("x\0", 2)));
  EXPECT_EQ(s.dirty, 1);
  EXPECT_EQ(pairs_of(s), before);
  EXPECT_EQ(store_get(s, "k").value, "");
  EXPECT_EQ(store_get(s, "k").found, 1);

  // A failed store is changed too: put does not look at the open flag.
  store_record f = failed_store("d", "snapshot header is invalid");
  EXPECT_TRUE(store_put(f, "k", "v"));
  EXPECT_EQ(f.entries.size(), 1u);
  EXPECT_EQ(f.dirty, 1);
}

TEST(StoreRecord, ReplaceReviveAndDelete) {
  store_record s = new_empty_store("d");
  for (const char* k : {"b", "a", "ab", "abc"}) ASSERT_TRUE(store_put(s, k, std::string("v") + k));
  s.dirty = 0;

  EXPECT_TRUE(store_put(s, "a", "new"));
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(pairs_of(s), (std::vector<P>{{"b", "vb"}, {"a", "new"}, {"ab", "vab"}, {"abc", "vabc"}}));
  EXPECT_EQ(s.dirty, 1);

  // Keys match byte for byte only: a prefix or an extension is another key.
  EXPECT_EQ(store_index_of(s, "ab"), 2);
  EXPECT_EQ(store_index_of(s, "abcd"), -1);
  EXPECT_EQ(store_index_of(s, "A"), -1);

  s.entries[2].deleted = 1;
  EXPECT_EQ(store_get(s, "ab").found, 0);
  EXPECT_EQ(store_get(s, "ab").value, "");
  EXPECT_EQ(store_index_of(s, "ab"), 2);
  EXPECT_EQ(live_entry_count(s), 3);
  EXPECT_EQ(store_get(s, "abc").value, "vabc");

  EXPECT_TRUE(store_put(s, "ab", "again"));
  EXPECT_EQ(s.entries.size(), 4u);
  EXPECT_EQ(s.entries[2].key, "ab");
  EXPECT_EQ(s.entries[2].value, "again");
  EXPECT_EQ(s.entries[2].deleted, 0);
  EXPECT_EQ(live_entry_count(s), 4);

  EXPECT_TRUE(store_put(s, "c", "last"));
  EXPECT_EQ(s.entries.back().key, "c");
  EXPECT_EQ(store_get(s, "zz").found, 0);

  EXPECT_EQ(text_to_byte_vector("\xC3\xA9"), (byte_vector{0xC3, 0xA9}));
}

TEST(StoreRecord, WholeStoreCheckBounds) {
  const auto with = [](auto change) {
    store_record s = new_empty_store("d");
    change(s);
    return is_valid_store(s);
  };
  EXPECT_TRUE(with([](store_record& s) { s.byte_budget = 1024; }));
  EXPECT_TRUE(with([](store_record& s) { s.byte_budget = 268435456; }));
  EXPECT_FALSE(with([](store_record& s) { s.byte_budget = 1023; }));
  EXPECT_FALSE(with([](store_record& s) { s.byte_budget = 268435457; }));
  EXPECT_FALSE(with([](store_record& s) { s.generation = -1; }));
  EXPECT_TRUE(with([](store_record& s) { s.generation = 2147483647; }));
  EXPECT_FALSE(with([](store_record& s) { s.directory = ""; }));
  EXPECT_TRUE(with([](store_record& s) { s.directory = std::string(4096, 'd'); }));
  EXPECT_FALSE(with([](store_record& s) { s.directory = std::string(4097, 'd'); }));
  EXPECT_FALSE(with([](store_record& s) { s.schema_id = "cordvex.store.v2"; }));
  EXPECT_FALSE(with([](store_record& s) { s.format_version = 2; }));
  EXPECT_TRUE(with([](store_record& s) { s.open = 0, s.status = "x"; }));

  // Every entry counts, deleted or not, and each is checked.
  EXPECT_TRUE(with([](store_record& s) { s.entries.assign(65536, {"k", "v", 1}); }));
  EXPECT_FALSE(with([](store_record& s) {
    s.entries.assign(65537, {"k", "v", 1});
    s.entries[0].deleted = 0;
  }));
  EXPECT_FALSE(with([](store_record& s) { s.entries = {{"k", "v", 0}, {"", "v", 1}}; }));
  EXPECT_FALSE(with([](store_record& s) { s.entries = {{"k", std::string(1048577, 'v'), 1}}; }));
  EXPECT_FALSE(with([](store_record& s) { s.entries = {{std::string(4097, 'k'), "v", 0}}; }));
}

}  // namespace
}  // namespace orvi
