// Prepared admissions and candidate batches: the checks of a prepare and of a
// commit in their order, and later items of a batch seeing earlier ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "retained/model/index.hpp"
#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

// A store whose revision a test can set: revisions from 2^31 up are out of reach otherwise.
struct revised_store : open_store {
  using open_store::open_store;
  using retained_resource_store::revision;
};

// Each refusal reports the store's revision, zero counters and its message, and
// changes nothing; a refused admission still commits with its prepared inputs.
TEST(PreparedAdmission, CommitChecksRunInOrder) {
  open_store store("main"), other("main");
  revised_store high("main");
  owner_fragment f = fragment("card", 1, {10, 11});
  f.commands[0].paintId = "bg", f.commands[1].paintId = "fg";
  owner_fragment swapped_commands = f, moved = f;
  std::swap(swapped_commands.commands[0], swapped_commands.commands[1]), moved.auxValue = 1;
  resource_delta d = every_kind;
  d.paints = {paint("bg"), paint("fg")};
  const auto prepared = store.prepare_bind(f, d, 0), rival = store.prepare_bind(fragment("rival", 1, {20}), none, 0),
             failed = store.prepare_bind(f, d, 7), far = store.prepare_bind(f, d, 0x80000000u),
             orphan = retained_resource_store("main").prepare_bind(f, d, 0);
  open_store later("main");  // made after the preparing store is gone; its token lives on in the orphan
  // No two keys of d's binding share a bucket, so the update visits one node for its owner, one for each of
  // its six stored resources and one for each of its two paint references.
  ASSERT_TRUE(later.bind_owner(f, d, 0).ok);
  owner_fragment newer = f;
  newer.generation = 2;
  const auto update = later.prepare_update(newer, d, 1);
  EXPECT_EQ(update->index_probes(), 9u);
  high.revision = 0x80000000u;
  const auto wide = high.prepare_bind(fragment("wide", 1, {30}), none, 0x80000000u);
  ASSERT_TRUE(wide->is_admitted() && high.close_store());
  resource_delta opacity = d, swapped = d, added = d, elsewhere = d, image_changed = d, glyph_changed = d,
                 clip_changed = d, transform_changed = d;
  opacity.paints[0].opacity = 50, added.paints.push_back(paint("extra")), elsewhere.surface = "elsewhere";
  image_changed.images[0].source = "t", glyph_changed.glyphs[0].source = "t", clip_changed.clips[0].x = 1,
  transform_changed.transforms[0].rotation = 1;
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
                {&store, prepared, true, f, image_changed, changed},
                {&store, prepared, true, f, glyph_changed, changed},
                {&store, prepared, true, f, clip_changed, changed},
                {&store, prepared, true, f, transform_changed, changed},
                {&store, prepared, true, swapped_commands, d, changed},
                {&store, prepared, true, moved, d, changed},
                {&store, prepared, true, f, elsewhere, "ok"},  // the surface name takes no part
                {&store, prepared, false, f, d, "retained resource prepared admission was already consumed"},
                {&other, prepared, true, f, d, belongs},
                {&store, failed, true, f, d, own},
                {&store, far, true, f, d, "retained resource store stale revision: expected -2147483648, current 0"},
                {&high, wide, true, fragment("wide", 1, {30}), none,
                 "retained resource prepared admission is stale: expected -2147483648, current -2147483647"},
                {&later, update, false, newer, d, "ok"},
                {&store, rival, true, fragment("rival", 1, {20}), none,
                 "retained resource prepared admission is stale: expected 0, current 1"}};
  for (const auto& [s, p, bind, fragment, delta, message] : rows) {
    const text before = s->fingerprint();
    const std::uint32_t probes = s->index_probe_total();
    const bool ok = message == "ok";
    const operation_result got =
        bind ? s->commit_prepared_bind(p, fragment, delta) : s->commit_prepared_update(p, fragment, delta);
    EXPECT_EQ(fields(got),
              std::make_tuple(ok, s->current_revision(), ok ? p->validations() : 0u,
                              ok ? p->explicit_comparisons() : 0u, ok ? p->payload_comparisons() : 0u, message));
    // Every key a commit puts here lands in an empty bucket: it adds only the probes of its preparation.
    EXPECT_EQ(s->index_probe_total() - probes, ok ? p->index_probes() : 0u) << message;
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
  using retained_resource_store::revision;
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

// The probes of the duplicate checks, walked by hand over tables of `buckets` buckets: each owner
// id, then each of its command sequences, is looked for, newest first within its bucket, and
// entered when absent; a miss visits the whole chain, a hit the nodes up to it.
std::uint32_t duplicate_check_probes(const std::vector<owner_fragment>& fragments, std::int32_t buckets) {
  std::map<std::pair<int, std::int32_t>, std::vector<text>> chains;  // oldest first
  std::uint32_t probes = 0;
  const auto present = [&](int table, const text& key) {
    std::vector<text>& chain = chains[{table, hash_resource_text(key, buckets)}];
    const auto at = std::find(chain.rbegin(), chain.rend(), key);
    const bool found = at != chain.rend();
    probes += static_cast<std::uint32_t>(at - chain.rbegin()) + found;
    if (!found) chain.push_back(key);
    return found;
  };
  for (const owner_fragment& f : fragments) {
    if (present(0, f.id)) return probes;
    for (const render_command_record& c : f.commands)
      if (present(1, make_index_key("command-sequence", "", c.sequence))) return probes;
  }
  return probes;
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
      images{"main", {}, std::vector<render_image_record>(65537), {}, {}, {}},
      paints65536{"main", std::vector<paint_record>(65536), {}, {}, {}, {}};
  // The overlay's bucket count; 0 where the prepare stops before choosing one.
  const std::tuple<std::vector<owner_fragment>, std::vector<resource_delta>, text, std::int32_t> cases[] = {
      {{}, {}, lists, 0},
      {unbound(std::vector<int>(4097, 1)), deltas(4097), lists, 0},
      {unbound({1, 1, 1}), deltas(2), lists, 0},
      {unbound(most), deltas(16), first_unbound, 8192},
      {unbound(one_more), deltas(17), sums, 0},
      {unbound({1}), {images}, sums, 0},
      {unbound({1}), {paints65536}, first_unbound, 8192},
      {unbound({10}), {paints5}, first_unbound, 64},
      {unbound({63}), deltas(1), first_unbound, 64},  // 64 keys expected: no doubling yet
      {unbound({64}), deltas(1), first_unbound, 128},
      {unbound({50, 50}), deltas(2), first_unbound, 128},
      {unbound({1}), {paints40}, first_unbound, 128},
      {twice, deltas(2), "retained resource candidate batch duplicates owner x0", 64},
      {overlapping, deltas(2), "retained resource candidate batch duplicates command sequence 1", 64},
  };
  for (const auto& [fragments, ds, message, buckets] : cases) {
    spy_store store("main");
    const auto batch = store.prepare_candidate_batch(fragments, ds, 0);
    // Every staged row fails at its owner, before any resource is looked for in the overlay.
    const std::vector<std::uint32_t> staged =
        message == first_unbound ? std::vector{static_cast<std::uint32_t>(buckets)} : std::vector<std::uint32_t>{};
    EXPECT_EQ(std::make_tuple(batch->message(), batch->is_admitted(), batch->item_count(), batch->validations(),
                              batch->index_probes(), store.buckets, batch->staging_probes()),
              std::make_tuple(message, false, 0u, 0u, 0u, staged,
                              buckets == 0 ? 0u : duplicate_check_probes(fragments, buckets)));
  }
}

TEST(CandidateBatch, LaterItemsSeeEarlierItemsAndTheCommitChecksRunInOrder) {
  spy_store store("main"), other("main");
  // Stored paints, clips and an image: the overlay numbers the batch's resources after them.
  const resource_delta held[] = {{"main", {paint("a"), paint("b")}, {}, {}, {clip("x"), clip("y"), clip("z")}, {}},
                                 none,
                                 {"main", {}, {image("held", 1)}, {}, {}, {}}};
  for (int j = 0; j < 3; ++j) ASSERT_TRUE(store.bind_owner(fragment("o" + std::to_string(j), 1, {j}), held[j], j).ok);
  // The second item draws what the first brings, and brings a newer generation of its image.
  std::vector<owner_fragment> fs = {fragment("o0", 2, {0}), fragment("o1", 2, {1})};
  fs[1].commands[0].paintId = "new", fs[1].commands[0].clipId = "c", fs[1].commands[0].transformId = "t";
  std::vector<resource_delta> ds = {
      {"main", {paint("new")}, {image("img", 1)}, {glyph('a')}, {clip("c")}, {transform("t")}},
      {"main", {}, {image("img", 2), image("held", 2)}, {}, {}, {}}};
  const auto batch = store.prepare_candidate_batch(fs, ds, 3), rival = store.prepare_candidate_batch(fs, ds, 3);
  ASSERT_TRUE(batch->is_admitted()) << batch->message();
  // A new image id adds two store keys; one known pending or stored, one. No two store keys share a
  // bucket: the items visit one node for each owner and one for the stored "held"; in the overlay
  // (64 buckets) only the clip and the glyph share one, the clip in front, and the second item finds
  // "img" twice and its paint, clip and transform once each.
  EXPECT_EQ(std::tuple(store.nodes, store.payload, batch->index_probes(), batch->staging_probes()),
            std::tuple(std::vector<std::uint32_t>{6, 8, 6, 8}, std::vector<std::uint32_t>{5, 13, 5, 13}, 3u, 5u));
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
  const auto far = store.prepare_candidate_batch(fs, ds, 0x80000000u);
  other.revision = 0x80000000u;
  const std::vector<owner_fragment> one{fragment("o0", 2, {0})};
  const std::vector<resource_delta> one_delta{none};
  ASSERT_TRUE(other.bind_owner(fragment("o0", 1, {0}), none, 0x80000000u).ok);
  const auto wide = other.prepare_candidate_batch(one, one_delta, 0x80000001u);
  ASSERT_TRUE(wide->is_admitted() && other.close_store());
  const std::tuple<spy_store*, std::shared_ptr<prepared_candidate_batch>, std::vector<owner_fragment>,
                   std::vector<resource_delta>, text>
      commits[] = {
          {&other, batch, fs, ds, "retained resource prepared candidate batch belongs to another store"},
          {&store, nullptr, fs, ds, "retained resource prepared candidate batch is missing"},
          {&store, refused, fs, ds, refused->message()},
          {&store, far, fs, ds, "retained resource store stale revision: expected -2147483648, current 3"},
          {&other, wide, one, one_delta,
           "retained resource prepared candidate batch is stale: expected -2147483647, current -2147483646"},
          {&store, batch, fs, {ds[0]}, reordered},
          {&store, batch, fs, {ds[0], ds[1], none}, reordered},
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
  // Applied once, in item order: the rows the second item resolved name what the first brought. The
  // commit adds the items' probes and one for each "image-latest" key it overwrites.
  EXPECT_EQ(std::make_tuple(store.paint_count(), store.image_count(), store.glyph_count(), store.clip_count(),
                            store.transform_count(), store.admission_total(), store.owner_command_paint_row(1, 0),
                            store.owner_command_clip_row(1, 0), store.owner_command_transform_row(1, 0),
                            store.index_probe_total()),
            std::make_tuple(3u, 4u, 1u, 4u, 1u, 4u, 2, 3, 0, 5u));
}

}  // namespace
