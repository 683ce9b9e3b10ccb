// The store index: puts, counted and uncounted lookups, owner lookups.
#include <gtest/gtest.h>

#include <map>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

// Every answer and every count equals that of a walk down the chains, which
// stay linked newest first, over random puts, overwrites and lookups of keys
// crowded into a few buckets; the uncounted lookups count nowhere.
TEST(StoreIndex, CountsEqualAWalkOfTheChains) {
  open_store store("main");
  std::vector<text> universe, owners;
  for (int n = 0; universe.size() < 300; ++n) {
    const text key = make_index_key("binding", "c" + std::to_string(n), 0);
    if (hash_resource_text(key, 8192) < 6) universe.push_back(key), owners.push_back("c" + std::to_string(n));
  }
  const store_index_columns& index = store.store_index;
  std::vector<std::int32_t> newest(8192, -1);
  auto walk = [&](const text& key, std::uint32_t& probes) {
    const auto bucket = static_cast<std::size_t>(hash_resource_text(key, 8192));
    EXPECT_EQ(index.heads[bucket], newest[bucket]);
    for (std::int32_t n = index.heads[bucket]; n != -1; n = index.next[static_cast<std::size_t>(n)]) {
      ++probes;
      if (index.keys[static_cast<std::size_t>(n)] == key) return static_cast<std::int32_t>(index.values[n]);
    }
    return -1;
  };
  std::mt19937 rng(7);
  std::map<text, std::int32_t> expected;
  preflight_result result = make_preflight_result("o", 1);
  for (int step = 0; step < 1500; ++step) {
    const std::size_t pick = rng() % (step < 750 ? 200 : universe.size());
    const text &key = universe[pick], &owner = owners[pick];
    std::uint32_t walked = 0;
    const std::int32_t answer = walk(key, walked);
    ASSERT_EQ(answer, expected.count(key) ? expected[key] : -1);
    if (rng() % 2 == 0) {
      const auto value = static_cast<std::int32_t>(rng() % 100000);
      const std::uint32_t before = store.index_probe_total();
      store.index_put(key, static_cast<std::uint32_t>(value));
      ASSERT_EQ(store.index_probe_total() - before, walked);
      if (answer == -1)
        newest[static_cast<std::size_t>(hash_resource_text(key, 8192))] =
            static_cast<std::int32_t>(index.keys.size() - 1);
      expected[key] = value;
    } else {
      const std::uint32_t before = result.index_probes, total = store.index_probe_total();
      ASSERT_EQ(store.index_get(result, key), answer);
      ASSERT_EQ(result.index_probes - before, walked);
      ASSERT_EQ(store.index_find_key(key), answer);
      ASSERT_EQ(store.find_owner_binding(owner), answer);
      ASSERT_EQ(result.index_probes - before, walked);
      ASSERT_EQ(store.find_owner_binding_counted(result, owner), answer);
      ASSERT_EQ(result.index_probes - before, 2 * walked);
      ASSERT_EQ(store.index_probe_total(), total);
    }
    ASSERT_EQ(store.index_node_count(), expected.size());
  }
}

}  // namespace
