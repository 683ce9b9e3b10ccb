// The store index: puts, counted and uncounted lookups, owner lookups.
#include <gtest/gtest.h>

#include "retained/model/index.hpp"
#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

TEST(StoreIndex, IndexPutGetAndFindCountProbesInTheirOwnPlaces) {
  retained_resource_store store("main");
  // Two keys forced into one bucket.
  const text first = "k0";
  text second;
  for (int i = 1; second.empty(); ++i) {
    const text k = "k" + std::to_string(i);
    if (orvi::hash_resource_text(k, 8192) == orvi::hash_resource_text(first, 8192)) second = k;
  }
  store.index_put(first, 1);
  store.index_put(second, 2);
  EXPECT_EQ(store.index_probe_total(), 1u);  // the second put walked past the first
  store.index_put(first, 3);                 // overwrite: later key is visited first
  EXPECT_EQ(store.index_probe_total(), 3u);
  EXPECT_EQ(store.index_node_count(), 2u);

  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.index_get(result, second), 2);
  EXPECT_EQ(result.index_probes, 1u);
  EXPECT_EQ(store.index_get(result, first), 3);
  EXPECT_EQ(result.index_probes, 3u);
  ASSERT_NE(orvi::hash_resource_text("absent", 8192), orvi::hash_resource_text(first, 8192));
  EXPECT_EQ(store.index_get(result, "absent"), -1);  // an empty bucket visits nothing
  EXPECT_EQ(result.index_probes, 3u);
  EXPECT_EQ(store.index_find_key(first), 3);
  EXPECT_EQ(store.index_find_key(second + "x"), -1);
  EXPECT_EQ(result.index_probes + store.index_probe_total(), 6u);
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

}  // namespace
