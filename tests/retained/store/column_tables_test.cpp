// The store's own parts: construction, the index and its counts, the row
// accessors and close. (Finds, resolution across the three regions of rows
// and the command lookup are proven by the random store proof.)
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <type_traits>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;
using store_t = retained_resource_store;
static_assert(!std::is_copy_constructible_v<store_t> && !std::is_copy_assignable_v<store_t> &&
              !std::is_move_constructible_v<store_t> && !std::is_move_assignable_v<store_t>);

text diagnostics(const text& surface, const text& state, const std::vector<int>& f) {
  const text line =
      "retained-resource-store-v1: surface={0}; state={1}; revision={2}; entries={3}; owners={4}; "
      "commands={5}; payload={6}; validations={7}; explicit-comparisons={8}; payload-comparisons={9}; "
      "admissions={10}; rejections=operation-results-only";
  std::vector<text> values{surface, state};
  for (int v : f) values.push_back(std::to_string(v));
  return format_placeholders(line, values);
}

TEST(StoreConstruction, StateAndDiagnosticsBySurfaceLength) {
  for (const auto& [bytes, state] :
       std::vector<std::pair<int, text>>{{0, "invalid"}, {4, "open"}, {128, "open"}, {129, "invalid"}}) {
    // A placeholder in the name is shown as it is, never filled.
    const text surface = bytes == 4 ? "{1}x" : text(static_cast<std::size_t>(bytes), 's');
    store_t store(surface);
    EXPECT_EQ(store.surface_name() + store.state_name(), surface + state);
    EXPECT_EQ(store.store_diagnostics_text(), diagnostics(surface, state, std::vector(9, 0)));
    EXPECT_EQ(store.index_node_count() + store.index_probe_total() + store.entry_count() + store.owner_count(), 0u);
  }
  // The staging node count sums the probes (not the nodes) of its three tables.
  staging_state staging = make_staging_state(64);
  int finds = 1;
  for (index_table* table : {&staging.resource_keys, &staging.batch_owners, &staging.batch_sequences}) {
    table->assign("k", 0);
    for (int i = 0; i < finds; ++i) table->find("k");
    ++finds;
  }
  EXPECT_EQ(staging_index_node_count(staging), 6u);
}

// Every answer and every count equals that of a walk down the chains, which
// stay linked newest first, over random puts, overwrites and lookups of keys
// crowded into a few buckets; the uncounted lookups count nowhere.
TEST(StoreIndex, CountsEqualAWalkOfTheChains) {
  open_store store("main");
  std::vector<text> owners;
  for (int n = 0; owners.size() < 300; ++n) {
    if (hash_resource_text(make_index_key("binding", std::to_string(n), 0), 8192) < 6)
      owners.push_back(std::to_string(n));
  }
  const store_index_columns& index = store.store_index;
  // Nodes a lookup of the key visits, and what it answers.
  const auto walk = [&](const text& key) {
    std::uint32_t walked = 0;
    std::int32_t answer = -1;
    for (std::int32_t n = index.heads[static_cast<std::size_t>(hash_resource_text(key, 8192))]; n != -1 && answer == -1;
         n = index.next[static_cast<std::size_t>(n)]) {
      ++walked;
      if (index.keys[static_cast<std::size_t>(n)] == key) answer = static_cast<std::int32_t>(index.values[n]);
    }
    return std::pair(walked, answer);
  };
  std::mt19937 rng(7);
  std::map<text, std::int32_t> expected;
  preflight_result result = make_preflight_result("o", 1);
  for (int step = 0; step < 1500; ++step) {
    const text& owner = owners[rng() % (step < 750 ? 200 : owners.size())];
    const text key = make_index_key("binding", owner, 0);
    const auto [walked, answer] = walk(key);
    ASSERT_EQ(answer, expected.count(key) ? expected[key] : -1);
    if (rng() % 2 == 0) {
      const std::uint32_t before = store.index_probe_total();
      store.index_put(key, static_cast<std::uint32_t>(expected[key] = static_cast<std::int32_t>(rng() % 100000)));
      ASSERT_EQ(store.index_probe_total() - before, walked);
      ASSERT_TRUE(answer != -1 || index.keys[index.heads[hash_resource_text(key, 8192)]] == key);  // linked at the head
    } else {
      const std::uint32_t before = result.index_probes, total = store.index_probe_total();
      ASSERT_EQ(std::tuple(store.index_get(result, key), store.index_find_key(key), store.find_owner_binding(owner)),
                std::tuple(answer, answer, answer));
      ASSERT_EQ(store.find_owner_binding_counted(result, owner), answer);
      ASSERT_EQ(std::tuple(result.index_probes - before, store.index_probe_total()), std::tuple(2 * walked, total));
    }
    ASSERT_EQ(store.index_node_count(), expected.size());
  }
  // In that crowded index, a bind counts the walks of the owner's key and of its
  // new paint's key (admitted, then resolved); an update those of the owner's
  // key and of the stored paint's key. The overlap checks of the bind's command
  // sequences, crowded too, count nothing.
  const auto crowded = [](const text& key) { return hash_resource_text(key, 8192) < 6; };
  text paint_id;
  for (int k = 0; paint_id.empty(); ++k) {
    if (crowded(make_index_key("paint", std::to_string(k), 0))) paint_id = std::to_string(k);
  }
  std::vector<std::int32_t> sequences;
  for (std::int32_t k = 0; sequences.size() < 2; ++k) {
    if (crowded(make_index_key("command-sequence", "", k))) sequences.push_back(k);
  }
  owner_fragment bound = fragment(owners[0], 1, sequences), newer = fragment(owners[0], 2, sequences);
  bound.commands[1].paintId = newer.commands[1].paintId = paint_id;
  const resource_delta brings{"main", {paint(paint_id)}, {}, {}, {}, {}};
  const text owner_key = make_index_key("binding", owners[0], 0), paint_key = make_index_key("paint", paint_id, 0);
  EXPECT_GT(walk(make_index_key("command-sequence", "", sequences[0])).first, 0u);
  EXPECT_EQ(store.stage_owner_admission(bound, brings, 0, 1).index_probes,
            walk(owner_key).first + 2 * walk(paint_key).first);
  ASSERT_TRUE(store.bind_owner(bound, brings, 0).ok);
  EXPECT_EQ(store.stage_owner_admission(newer, none, 1, 0).index_probes, walk(owner_key).first + walk(paint_key).first);
}

// Accessors answer inside their tables only; a close empties rows and keys but
// keeps the totals, and a closed index answers -1 and takes no puts.
TEST(StoreDiagnostics, AccessorsAndClose) {
  open_store store("main");
  render_command_record command{}, image_command{};
  image_command.sequence = 9, image_command.kind = "image", image_command.resourceId = "img",
  image_command.imageGeneration = 4;
  store.append_command_row(0, command, 1, 2, 3, 4, 5);
  store.append_command_row(2, command, -1, -1, -1, -1, -1);
  store.set_command_row(1, image_command, 6, 7, 8, 9, 10);  // keeps the owner row
  store.set_command_row(2, command, 0, 0, 0, 0, 0);         // past the end: nothing to overwrite
  const command_columns& t = store.command_table;
  EXPECT_EQ(t.command_text, (std::vector{command_record_text(command), command_record_text(image_command)}));
  EXPECT_EQ(t.kind[1] + t.resource_id[1] + std::to_string(t.sequence[1]) + std::to_string(t.image_generation[1]),
            "imageimg94");
  store.owner_table = {{"o"}, {3}, {9}, {9}, {0}, {1}};
  const auto rows = [&](std::int32_t owner, std::int32_t j, std::int32_t row) {
    std::vector<std::int32_t> out{store.command_owner(row), static_cast<std::int32_t>(store.owner_generation(owner))};
    for (auto [by_owner, by_row] : {std::pair{&store_t::owner_command_paint_row, &store_t::command_paint_row},
                                    {&store_t::owner_command_image_row, &store_t::command_image_row},
                                    {&store_t::owner_command_glyph_row, &store_t::command_glyph_row},
                                    {&store_t::owner_command_clip_row, &store_t::command_clip_row},
                                    {&store_t::owner_command_transform_row, &store_t::command_transform_row}}) {
      out.push_back((store.*by_owner)(owner, j)), out.push_back((store.*by_row)(row));
    }
    return out;
  };
  EXPECT_EQ(rows(0, 0, 1), (std::vector{2, 3, 1, 6, 2, 7, 3, 8, 4, 9, 5, 10}));
  EXPECT_EQ(rows(0, 1, 0), (std::vector{0, 3, -1, 1, -1, 2, -1, 3, -1, 4, -1, 5}));  // past the owner's commands
  for (std::int32_t bad : {-1, 2, INT32_MAX}) {
    EXPECT_EQ(rows(bad, 0, bad), (std::vector{-1, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1})) << bad;
    EXPECT_EQ(rows(0, bad, bad), (std::vector{-1, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1})) << bad;
  }
  store_t closed("main");  // then holding 5 validations, 5 explicit and 2 payload comparisons, and 5 payload bytes
  ASSERT_TRUE(closed.bind_owner(fragment("a", 1, {20}), every_kind, 0).ok &&
              closed.bind_owner(fragment("b", 1, {30}), every_kind, 1).ok);
  closed.index_put(make_index_key("binding", "a", 0), 0);  // an overwrite visits at least its own node
  const std::uint32_t probes = closed.index_probe_total();
  for (int twice = 0; twice < 2; ++twice) EXPECT_TRUE(closed.close_store());
  EXPECT_EQ(closed.store_diagnostics_text(), diagnostics("main", "closed", {3, 0, 0, 0, 0, 5, 5, 2, 2}));
  EXPECT_EQ(std::tuple(closed.index_node_count(), closed.index_bucket_count(), closed.index_probe_total()),
            std::tuple(0u, 8192u, probes));
  closed.index_put("k", 4);
  preflight_result result = make_preflight_result("o", 1);
  EXPECT_EQ(std::tuple(closed.index_find_key("k"), closed.index_get(result, "k"), closed.find_owner_binding("a")),
            std::tuple(-1, -1, -1));
  EXPECT_EQ(closed.index_node_count() + result.index_probes, 0u);
}

}  // namespace
