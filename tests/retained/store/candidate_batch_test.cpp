// Candidate batches: the checks of the prepare, later items seeing earlier
// ones, the commit's checks, and a commit equal to its items applied one by one.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

using batch_ptr = std::shared_ptr<prepared_candidate_batch>;

// Records the overlay's buckets as each item is staged, and its node and payload totals after each item.
struct spy_store : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::vector<std::uint32_t> buckets, nodes, payload;
  preflight_result stage_owner_delta(owner_fragment f, resource_delta d, std::uint32_t revision, std::uint8_t kind,
                                     staging_state& staging) override {
    buckets.push_back(staging.resource_keys.bucket_count());
    return retained_resource_store::stage_owner_delta(std::move(f), std::move(d), revision, kind, staging);
  }
  void index_staged_resources(const preflight_result& result, staging_state& staging) override {
    retained_resource_store::index_staged_resources(result, staging);
    nodes.push_back(staging.staged_nodes), payload.push_back(staging.staged_payload);
  }
};

// Unbound owners x0, x1, ... with these command counts, their sequences counting from 0.
std::vector<owner_fragment> unbound(const std::vector<int>& counts) {
  std::vector<owner_fragment> fragments;
  for (int count : counts) {
    const int first = fragments.empty() ? 0 : fragments.back().commands.back().sequence + 1;
    fragments.push_back(owner("x" + std::to_string(fragments.size()), 1, first, count));
  }
  return fragments;
}

TEST(CandidateBatch, PrepareChecksListsSumsAndDuplicatesBeforeStaging) {
  const text lists = "retained resource candidate batch requires 1..4096 parallel fragment/delta items";
  const text sums = "retained resource candidate batch exceeds 65536 commands or delta entries";
  const text first_unbound =
      "retained resource candidate batch item 0: retained resource owner x0 requires an initial binding";
  std::vector<owner_fragment> twice = unbound({1, 1}), overlapping = unbound({2, 1});
  twice[1].id = twice[1].commands[0].owner = "x0";
  overlapping[1].commands[0].sequence = 1;
  std::vector<int> most(16, 4096), one_more = most;
  one_more.push_back(1);
  const struct {
    std::vector<owner_fragment> fragments;
    std::vector<resource_delta> deltas;
    text message;
    std::vector<std::uint32_t> buckets;
  } cases[] = {
      {{}, {}, lists, {}},
      {unbound(std::vector<int>(4097, 1)), std::vector<resource_delta>(4097, delta()), lists, {}},
      {unbound({1, 1, 1}), {delta(), delta()}, lists, {}},
      {unbound(most), std::vector<resource_delta>(16, delta()), first_unbound, {8192}},
      {unbound(one_more), std::vector<resource_delta>(17, delta()), sums, {}},
      {unbound({1}), {delta({}, std::vector<render_image_record>(65537))}, sums, {}},
      {unbound({10}), {delta(std::vector<paint_record>(5))}, first_unbound, {64}},
      {unbound({50, 50}), {delta(), delta()}, first_unbound, {128}},
      {unbound({1}), {delta(std::vector<paint_record>(40))}, first_unbound, {128}},
      {twice, {delta(), delta()}, "retained resource candidate batch duplicates owner x0", {}},
      {overlapping, {delta(), delta()}, "retained resource candidate batch duplicates command sequence 1", {}},
  };
  for (const auto& c : cases) {
    spy_store store("main");
    const batch_ptr batch = store.prepare_candidate_batch(c.fragments, c.deltas, 0);
    EXPECT_EQ(batch->message(), c.message);
    EXPECT_EQ(std::make_tuple(batch->is_admitted(), batch->item_count(), batch->validations(), batch->index_probes()),
              std::make_tuple(false, 0u, 0u, 0u));
    EXPECT_EQ(store.buckets, c.buckets);
  }
  const batch_ptr closed = spy_store("").prepare_candidate_batch(unbound({1}), {delta()}, 0),
                  stale = spy_store("main").prepare_candidate_batch(unbound({1}), {delta()}, 5);
  EXPECT_EQ(std::make_tuple(closed->is_admitted(), closed->message(), stale->is_admitted(), stale->message()),
            std::make_tuple(false, text("retained resource store is not open"), false,
                            text("retained resource store stale revision: expected 5, current 0")));
}

TEST(CandidateBatch, LaterItemsSeeEarlierItemsAndTheCommitChecksRunInOrder) {
  spy_store store("main"), other("main");
  for (int j = 0; j < 3; ++j) {
    const resource_delta d = j == 2 ? delta({}, {image("held", 1)}) : delta();
    ASSERT_TRUE(store.bind_owner(owner("o" + std::to_string(j), 1, j, 1), d, j).ok);
    if (j < 2) {
      ASSERT_TRUE(other.bind_owner(owner("o" + std::to_string(j), 1, j, 1), delta(), j).ok);
    }
  }
  // One image id at generations 1 then 2, the first at combined row 0.
  other.prepare_candidate_batch({owner("o0", 2, 0, 1), owner("o1", 2, 1, 1)},
                                {delta({}, {image("img", 1)}), delta({}, {image("img", 2)})}, 2);
  EXPECT_EQ(other.nodes, (std::vector<std::uint32_t>{2, 3}));
  std::vector<owner_fragment> fs = {owner("o0", 2, 0, 1), owner("o1", 2, 1, 1)};
  fs[1].commands[0].paintId = "new", fs[1].commands[0].clipId = "c", fs[1].commands[0].transformId = "t";
  std::vector<resource_delta> ds = {delta({paint("new")}, {image("img", 1)}),
                                    delta({}, {image("img", 2), image("held", 2)})};
  ds[0].glyphs = {{"sha256:" + text(64, 'a'), 1, 1, 1, 1, "a8-unorm-hex", "00", "s"}};
  ds[0].clips = {{"c", 0, 0, 5, 5, 0}}, ds[0].transforms = {{"t", 0, 0, 100, 100, 0}};
  const batch_ptr batch = store.prepare_candidate_batch(fs, ds, 3);
  ASSERT_TRUE(batch->is_admitted()) << batch->message();
  // A new image id adds two store keys; one known pending or stored, one.
  EXPECT_EQ(store.nodes, (std::vector<std::uint32_t>{1 + 2 + 1 + 1 + 1, 6 + 1 + 1}));
  EXPECT_EQ(store.payload, (std::vector<std::uint32_t>{4 + 1, 5 + 4 + 4}));
  const batch_ptr rival = store.prepare_candidate_batch(fs, ds, 3);
  owner_fragment missing = owner("o2", 2, 2, 1);
  missing.commands[0].paintId = "gone";
  const batch_ptr refused = store.prepare_candidate_batch({fs[0], missing}, {ds[0], delta()}, 3);
  EXPECT_EQ(refused->message(),
            "retained resource candidate batch item 1: retained resource owner o2 references missing paint gone");
  EXPECT_EQ(refused->item_count(), 1u);
  const operation_result reordered = store.commit_prepared_candidate_batch(batch, {fs[1], fs[0]}, {ds[1], ds[0]});
  std::vector<resource_delta> changed = ds;
  changed[0].paints[0].opacity = 1;
  EXPECT_EQ(reordered.message, "retained resource prepared candidate batch inputs were changed or reordered");
  EXPECT_EQ(store.commit_prepared_candidate_batch(batch, fs, changed).message, reordered.message);
  EXPECT_EQ(batch->staged_item(2, fs[0], ds[0]).admitted, 0);  // no such item
  EXPECT_TRUE(store.commit_prepared_candidate_batch(batch, fs, ds).ok);
  EXPECT_EQ(std::make_tuple(store.paint_count(), store.image_count(), store.glyph_count(), store.clip_count(),
                            store.transform_count(), store.current_revision()),
            std::make_tuple(1u, 4u, 1u, 1u, 1u, 4u));
  EXPECT_EQ(std::make_tuple(store.owner_command_paint_row(1, 0), store.owner_command_clip_row(1, 0),
                            store.owner_command_transform_row(1, 0)),
            std::make_tuple(0, 0, 0));
  const std::tuple<retained_resource_store*, batch_ptr, text> refusals[] = {
      {&other, batch, "retained resource prepared candidate batch belongs to another store"},
      {&store, nullptr, "retained resource prepared candidate batch is missing"},
      {&store, batch, "retained resource prepared candidate batch was already consumed"},
      {&store, refused, refused->message()},
      {&store, rival, "retained resource prepared candidate batch is stale: expected 3, current 4"}};
  for (const auto& [s, b, message] : refusals) {
    EXPECT_EQ(fields(s->commit_prepared_candidate_batch(b, fs, ds)),
              std::make_tuple(false, s->current_revision(), 0u, 0u, 0u, message));
  }
  EXPECT_EQ(store.current_revision(), 4u);
}

TEST(CandidateBatch, CommitLeavesTheRowsOfItsItemsAppliedInOrder) {
  open_store direct("main"), batched("main");
  owner_history history;
  for (int j = 0; j < 24; ++j) {
    const auto [f, d] = history.next(j);
    ASSERT_TRUE(direct.bind_owner(f, d, static_cast<std::uint32_t>(j)).ok);
    ASSERT_TRUE(batched.bind_owner(f, d, static_cast<std::uint32_t>(j)).ok);
  }
  // The stores differ only in the probes their staged lookups counted.
  std::uint32_t probe_gap = 0;
  for (std::size_t k : {1u, 7u, 24u}) {
    std::vector<int> owners(24);
    std::iota(owners.begin(), owners.end(), 0);
    std::shuffle(owners.begin(), owners.end(), history.rng);
    std::vector<owner_fragment> fs;
    std::vector<resource_delta> ds;
    std::uint32_t probe_sum = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const auto [f, d] = history.next(owners[i]);
      fs.push_back(f), ds.push_back(d);
      probe_sum += direct.prepare_update(f, d, direct.current_revision())->index_probes();
      ASSERT_TRUE(direct.update_owner(f, d, direct.current_revision()).ok);
    }
    const std::uint32_t revision = batched.current_revision(), admissions = batched.admission_total();
    const batch_ptr batch = batched.prepare_candidate_batch(fs, ds, revision);
    ASSERT_TRUE(batch->is_admitted()) << batch->message();
    // With the totals of both stores equal below, the batch counted what the direct updates did.
    EXPECT_EQ(fields(batched.commit_prepared_candidate_batch(batch, fs, ds)),
              std::make_tuple(true, revision + 1, batch->validations(), batch->explicit_comparisons(),
                              batch->payload_comparisons(), text("ok")));
    EXPECT_EQ(batched.admission_total(), admissions + 1);
    EXPECT_EQ(batched.fingerprint(false), direct.fingerprint(false));
    probe_gap += batch->index_probes() - probe_sum;
    EXPECT_EQ(batched.index_probe_total() - direct.index_probe_total(), probe_gap);
  }
}

}  // namespace
