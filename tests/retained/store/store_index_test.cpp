// The store index: puts, counted and uncounted lookups, owner lookups.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "retained/model/index.hpp"
#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

TEST(StoreIndex, OverwriteKeepsOneNodeAndEachLookupCountsInItsOwnPlace) {
  retained_resource_store store("main");
  const text first = "k0";  // and a second key in the same bucket
  text second;
  for (int i = 1; second.empty(); ++i) {
    const text k = "k" + std::to_string(i);
    if (orvi::hash_resource_text(k, 8192) == orvi::hash_resource_text(first, 8192)) second = k;
  }
  store.index_put(first, 1);
  store.index_put(second, 2);
  store.index_put(first, 3);
  EXPECT_EQ(store.index_node_count(), 2u);
  EXPECT_EQ(store.index_probe_total(), 3u);  // nothing, then the first, then both
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.index_get(result, first), 3);
  EXPECT_EQ(result.index_probes, 2u);  // the key put later is visited first
  EXPECT_EQ(store.index_find_key(first), 3);
  EXPECT_EQ(result.index_probes + store.index_probe_total(), 5u);  // the plain lookup counted nowhere
}

TEST(StoreIndex, OwnerLookupsCountOnlyInTheirCountedForm) {
  retained_resource_store store("main");
  store.index_put(orvi::make_index_key("binding", "owner", 0), 4);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.find_owner_binding("owner"), 4);
  EXPECT_EQ(result.index_probes, 0u);
  EXPECT_EQ(store.find_owner_binding_counted(result, "owner"), 4);
  EXPECT_GE(result.index_probes, 1u);
  EXPECT_EQ(store.find_owner_binding("never"), -1);
}

// Every answer and every count equals that of a walk down the chains, which
// stay linked newest first, over random puts, overwrites and lookups of keys
// crowded into a few buckets.
TEST(StoreIndex, CountsEqualAWalkOfTheChains) {
  open_store store("main");
  std::vector<text> universe;
  for (int n = 0; universe.size() < 300; ++n) {
    const text key = orvi::make_index_key("clip", "c" + std::to_string(n), 0);
    if (orvi::hash_resource_text(key, 8192) < 6) universe.push_back(key);
  }
  const orvi::store_index_columns& index = store.store_index;
  auto walk = [&](const text& key, std::uint32_t& probes) {
    const auto bucket = static_cast<std::size_t>(orvi::hash_resource_text(key, 8192));
    for (std::int32_t n = index.heads[bucket]; n != -1; n = index.next[static_cast<std::size_t>(n)]) {
      ++probes;
      if (index.keys[static_cast<std::size_t>(n)] == key) return static_cast<std::int32_t>(index.values[n]);
    }
    return -1;
  };
  std::mt19937 rng(7);
  std::map<text, std::int32_t> expected;
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  for (int step = 0; step < 3000; ++step) {
    const text& key = universe[rng() % (step < 1500 ? 200 : universe.size())];
    std::uint32_t walked = 0;
    if (rng() % 2 == 0) {
      const auto value = static_cast<std::int32_t>(rng() % 100000);
      walk(key, walked);
      const std::uint32_t before = store.index_probe_total();
      store.index_put(key, static_cast<std::uint32_t>(value));
      ASSERT_EQ(store.index_probe_total() - before, walked);
      expected[key] = value;
    } else {
      const std::int32_t answer = walk(key, walked);
      const std::uint32_t before = result.index_probes;
      ASSERT_EQ(store.index_get(result, key), answer);
      ASSERT_EQ(result.index_probes - before, walked);
      ASSERT_EQ(answer, expected.count(key) ? expected[key] : -1);
      ASSERT_EQ(store.index_find_key(key), answer);
    }
    ASSERT_EQ(store.index_node_count(), expected.size());
  }
}

}  // namespace
