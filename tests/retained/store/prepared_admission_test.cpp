// Prepared admissions and candidate batches: the checks of a prepare and of a
// commit in their order, and later items of a batch seeing earlier ones.
#include <gtest/gtest.h>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

// Each refusal reports the store's revision, zero counters and its message, and
// changes nothing; a refused admission still commits with its prepared inputs.
TEST(PreparedAdmission, CommitChecksRunInOrder) {
  open_store store("main"), other("main");
  owner_fragment f = fragment("card", 1, {10, 11});
  f.commands[0].paintId = "bg", f.commands[1].paintId = "fg";
  owner_fragment swapped_commands = f, moved = f;
  std::swap(swapped_commands.commands[0], swapped_commands.commands[1]), moved.auxValue = 1;
  const resource_delta d{"main", {paint("bg"), paint("fg")}, {}, {}, {}, {}};
  const auto prepared = store.prepare_bind(f, d, 0), rival = store.prepare_bind(fragment("rival", 1, {20}), none, 0),
             failed = store.prepare_bind(f, d, 7), orphan = retained_resource_store("main").prepare_bind(f, d, 0);
  open_store later("main");  // made after the preparing store is gone; its token lives on in the orphan
  resource_delta opacity = d, swapped = d, added = d, elsewhere = d;
  opacity.paints[0].opacity = 50, added.paints.push_back(paint("extra")), elsewhere.surface = "elsewhere";
  std::swap(swapped.paints[0], swapped.paints[1]);
  const text belongs = "retained resource prepared admission belongs to another store",
             changed = "retained resource prepared admission inputs were changed",
             own = "retained resource store stale revision: expected 7, current 0";
  const std::tuple<open_store*, std::shared_ptr<prepared_admission>, bool, owner_fragment, resource_delta, text>
      rows[] = {{&other, prepared, true, f, d, belongs},
                {&later, orphan, true, f, d, belongs},
                {&store, orphan, true, f, d, belongs},
                {&store, nullptr, true, f, d, "retained resource prepared admission is missing"},
                {&store, prepared, false, f, d, "retained resource prepared admission kind does not match commit"},
                {&store, failed, true, f, d, own},
                {&store, prepared, true, f, opacity, changed},
                {&store, prepared, true, f, swapped, changed},
                {&store, prepared, true, f, added, changed},
                {&store, prepared, true, swapped_commands, d, changed},
                {&store, prepared, true, moved, d, changed},
                {&store, prepared, true, f, elsewhere, "ok"},  // the surface name takes no part
                {&store, prepared, false, f, d, "retained resource prepared admission was already consumed"},
                {&other, prepared, true, f, d, belongs},
                {&store, failed, true, f, d, own},
                {&store, rival, true, fragment("rival", 1, {20}), none,
                 "retained resource prepared admission is stale: expected 0, current 1"}};
  for (const auto& [s, p, bind, fragment, delta, message] : rows) {
    const text before = s->fingerprint();
    const bool ok = message == "ok";
    const operation_result got =
        bind ? s->commit_prepared_bind(p, fragment, delta) : s->commit_prepared_update(p, fragment, delta);
    EXPECT_EQ(fields(got), std::make_tuple(ok, s->current_revision(), ok ? p->validations() : 0u, 0u, 0u, message));
    EXPECT_EQ(s->fingerprint() == before, !ok) << message;
  }
  EXPECT_EQ(store.find_owner_binding("card"), 0);
}

TEST(PreparedAdmission, RebuildingNeverReadsPastTheCapturedRows) {
  retained_resource_store store("main");
  owner_fragment f = fragment("card", 1, {10, 11});
  f.commands[1].paintId = "bg";
  const auto admitted = store.prepare_bind(f, {"main", {paint("bg")}, {}, {}, {}, {}}, 0);
  const auto refused = store.prepare_bind(f, none, 0);  // fails at the second command's paint
  ASSERT_TRUE(admitted->is_admitted() && !refused->is_admitted());
  for (const auto& p : {admitted, refused}) {
    const preflight_result r = p->staged_admission(fragment("card", 1, {10, 11, 12, 13, 14}), none);
    const resolved_row_lists& rows = r.owner.resolved_rows;
    const std::vector<std::int32_t> unset(5, -1), paint{-1, p == admitted ? 0 : -1, -1, -1, -1};
    EXPECT_EQ(std::make_tuple(r.admitted != 0, r.message, r.owner.commands.size(), rows.paint, rows.image, rows.glyph,
                              rows.clip, rows.transform),
              std::make_tuple(p->is_admitted(), p->message(), std::size_t{5}, paint, unset, unset, unset, unset));
  }
}

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
  std::int32_t next = 0;
  for (int count : counts) {
    std::vector<std::int32_t> sequences(static_cast<std::size_t>(count));
    for (std::int32_t& s : sequences) s = next++;
    fragments.push_back(fragment("x" + std::to_string(fragments.size()), 1, sequences));
  }
  return fragments;
}

TEST(CandidateBatch, PrepareChecksListsSumsAndDuplicatesBeforeStaging) {
  const text lists = "retained resource candidate batch requires 1..4096 parallel fragment/delta items";
  const text sums = "retained resource candidate batch exceeds 65536 commands or delta entries";
  const text first_unbound =
      "retained resource candidate batch item 0: retained resource owner x0 requires an initial binding";
  std::vector<owner_fragment> twice = unbound({1, 1}), overlapping = unbound({2, 1});
  twice[1].id = "x0", overlapping[1].commands[0].sequence = 1;
  std::vector<int> most(16, 4096), one_more = most;
  one_more.push_back(1);
  const auto deltas = [](std::size_t n, resource_delta d = none) { return std::vector<resource_delta>(n, d); };
  const resource_delta paints5{"main", std::vector<paint_record>(5), {}, {}, {}, {}},
      paints40{"main", std::vector<paint_record>(40), {}, {}, {}, {}},
      images{"main", {}, std::vector<render_image_record>(65537), {}, {}, {}};
  const std::tuple<std::vector<owner_fragment>, std::vector<resource_delta>, text, std::vector<std::uint32_t>> cases[] =
      {
          {{}, {}, lists, {}},
          {unbound(std::vector<int>(4097, 1)), deltas(4097), lists, {}},
          {unbound({1, 1, 1}), deltas(2), lists, {}},
          {unbound(most), deltas(16), first_unbound, {8192}},
          {unbound(one_more), deltas(17), sums, {}},
          {unbound({1}), {images}, sums, {}},
          {unbound({10}), {paints5}, first_unbound, {64}},
          {unbound({50, 50}), deltas(2), first_unbound, {128}},
          {unbound({1}), {paints40}, first_unbound, {128}},
          {twice, deltas(2), "retained resource candidate batch duplicates owner x0", {}},
          {overlapping, deltas(2), "retained resource candidate batch duplicates command sequence 1", {}},
      };
  for (const auto& [fragments, ds, message, buckets] : cases) {
    spy_store store("main");
    const auto batch = store.prepare_candidate_batch(fragments, ds, 0);
    EXPECT_EQ(std::make_tuple(batch->message(), batch->is_admitted(), batch->item_count(), batch->validations(),
                              batch->index_probes(), store.buckets),
              std::make_tuple(message, false, 0u, 0u, 0u, buckets));
  }
}

TEST(CandidateBatch, LaterItemsSeeEarlierItemsAndTheCommitChecksRunInOrder) {
  spy_store store("main"), other("main");
  for (int j = 0; j < 3; ++j) {
    const resource_delta d = j == 2 ? resource_delta{"main", {}, {image("held", 1)}, {}, {}, {}} : none;
    ASSERT_TRUE(store.bind_owner(fragment("o" + std::to_string(j), 1, {j}), d, j).ok);
  }
  // The second item draws what the first brings, and brings a newer generation of its image.
  std::vector<owner_fragment> fs = {fragment("o0", 2, {0}), fragment("o1", 2, {1})};
  fs[1].commands[0].paintId = "new", fs[1].commands[0].clipId = "c", fs[1].commands[0].transformId = "t";
  std::vector<resource_delta> ds = {
      {"main", {paint("new")}, {image("img", 1)}, {glyph('a')}, {clip("c")}, {transform("t")}},
      {"main", {}, {image("img", 2), image("held", 2)}, {}, {}, {}}};
  const auto batch = store.prepare_candidate_batch(fs, ds, 3), rival = store.prepare_candidate_batch(fs, ds, 3);
  ASSERT_TRUE(batch->is_admitted()) << batch->message();
  // A new image id adds two store keys; one known pending or stored, one.
  EXPECT_EQ(std::tuple(store.nodes, store.payload),
            std::tuple(std::vector<std::uint32_t>{6, 8, 6, 8}, std::vector<std::uint32_t>{5, 13, 5, 13}));
  owner_fragment missing = fragment("o2", 2, {2});
  missing.commands[0].paintId = "gone";
  const auto refused = store.prepare_candidate_batch({fs[0], missing}, {ds[0], none}, 3);
  EXPECT_EQ(std::tuple(refused->message(), refused->item_count()),
            std::tuple(text("retained resource candidate batch item 1: retained resource owner o2 references missing "
                            "paint gone"),
                       1u));
  EXPECT_EQ(batch->staged_item(2, fs[0], ds[0]).admitted, 0);  // no such item
  std::vector<resource_delta> changed = ds;
  changed[0].paints[0].opacity = 1;
  const text reordered = "retained resource prepared candidate batch inputs were changed or reordered";
  const std::tuple<spy_store*, std::shared_ptr<prepared_candidate_batch>, std::vector<owner_fragment>,
                   std::vector<resource_delta>, text>
      commits[] = {
          {&other, batch, fs, ds, "retained resource prepared candidate batch belongs to another store"},
          {&store, nullptr, fs, ds, "retained resource prepared candidate batch is missing"},
          {&store, refused, fs, ds, refused->message()},
          {&store, batch, {fs[1], fs[0]}, {ds[1], ds[0]}, reordered},
          {&store, batch, fs, changed, reordered},
          {&store, batch, fs, ds, "ok"},
          {&store, batch, fs, ds, "retained resource prepared candidate batch was already consumed"},
          {&store, rival, fs, ds, "retained resource prepared candidate batch is stale: expected 3, current 4"}};
  for (const auto& [s, b, f, d, message] : commits) {
    const operation_result got = s->commit_prepared_candidate_batch(b, f, d);
    EXPECT_EQ(fields(got), message == "ok" ? std::make_tuple(true, 4u, 7u, 0u, 0u, message)
                                           : std::make_tuple(false, s->current_revision(), 0u, 0u, 0u, message));
  }
  // Applied once, in item order: the rows the second item resolved name what the first brought.
  EXPECT_EQ(std::make_tuple(store.paint_count(), store.image_count(), store.glyph_count(), store.clip_count(),
                            store.transform_count(), store.admission_total(), store.owner_command_paint_row(1, 0),
                            store.owner_command_clip_row(1, 0), store.owner_command_transform_row(1, 0)),
            std::make_tuple(1u, 4u, 1u, 1u, 1u, 4u, 0, 0, 0));
}

}  // namespace
