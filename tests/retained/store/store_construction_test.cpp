// Construction of the retained store and the working records admissions start from.
#include <gtest/gtest.h>

#include <type_traits>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

TEST(StoreConstruction, NewStoreFiguresAndDiagnosticsBySurfaceLength) {
  for (const auto& [bytes, state] :
       std::vector<std::pair<int, text>>{{0, "invalid"}, {4, "open"}, {128, "open"}, {129, "invalid"}}) {
    // A placeholder in the name is shown as it is, never filled.
    const text surface = bytes == 4 ? "{1}x" : text(static_cast<std::size_t>(bytes), 's');
    retained_resource_store store(surface);
    EXPECT_EQ(store.surface_name() + store.state_name(), surface + state);
    EXPECT_EQ(store.store_diagnostics_text(), diagnostics(surface, state, {0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(store.index_node_count() + store.index_probe_total() + store.entry_count() + store.owner_count(), 0u);
  }
}

TEST(StoreConstruction, StoreIsNeitherCopyableNorMovable) {
  static_assert(!std::is_copy_constructible_v<retained_resource_store>);
  static_assert(!std::is_copy_assignable_v<retained_resource_store>);
  static_assert(!std::is_move_constructible_v<retained_resource_store>);
  static_assert(!std::is_move_assignable_v<retained_resource_store>);
  open_store a("main"), b("main");
  EXPECT_NE(a.token, b.token);
}

// The staging node count sums the probes (not the nodes) of its three tables.
TEST(StoreConstruction, StagingNodeCountSumsTheProbesOfItsTables) {
  staging_state staging = make_staging_state(64);
  int finds = 0;
  for (auto* table : {&staging.resource_keys, &staging.batch_owners, &staging.batch_sequences}) {
    table->assign("k", 0);
    for (int i = 0; i <= finds; ++i) table->find("k");
    ++finds;
  }
  EXPECT_EQ(staging_index_node_count(staging), 6u);
}

}  // namespace
