// The store's limits at full size, reached through real admissions: each passes
// at its value and refuses one past it with its message, and the full store
// still answers its lookups and admits what fits.
#include <gtest/gtest.h>

#include <string>

#include "retained/model/index.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace {

using namespace orvi;

const text FULL = "retained resource store exceeds 65536 entries/commands or 64 MiB";

// Reports fewer entries than it holds when asked to: with the entry limit out of
// the way, the index node limit is the one an admission meets first.
struct store_with_hidden_entries : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::uint32_t entry_count() override { return retained_resource_store::entry_count() - hidden; }
  std::uint32_t hidden = 0;
};

render_image_record placeholder(std::int32_t n) {
  const text id = "i" + std::to_string(n);
  return {id, "image", 1, 0, 0, 0, "bgra8-hex", "srgb", "straight", "loading", false, id, "", "src"};
}

// Owner n: `commands` commands from sequence 16n, the first `images` of them
// drawing a new image each, which the delta brings.
std::pair<owner_fragment, resource_delta> owner(std::int32_t n, std::int32_t generation, int commands, int images) {
  owner_fragment f;
  f.id = "o" + std::to_string(n);
  f.generation = generation;
  f.layoutWidth = f.layoutHeight = f.inkWidth = f.inkHeight = 1;
  f.dependencySignature = {"a", "b", "c", "d", "e", "f"};
  f.source = "src";
  resource_delta d{"main", {}, {}, {}, {}, {}};
  for (int j = 0; j < commands; ++j) {
    render_command_record m;
    m.sequence = 16 * n + j;
    m.owner = f.id;
    m.kind = "rect";
    if (j < images) {
      d.images.push_back(placeholder(16 * n + j));
      m.kind = "image", m.resourceId = d.images.back().id, m.imageGeneration = 1;
    }
    f.commands.push_back(m);
  }
  for (int j = commands; j < images; ++j) d.images.push_back(placeholder(16 * n + j));
  return {f, d};
}

operation_result bind_new(retained_resource_store& s, const std::pair<owner_fragment, resource_delta>& o) {
  return s.bind_owner(o.first, o.second, s.current_revision());
}

TEST(StoreLimits, EntriesCommandsAndIndexNodesAtFullSize) {
  store_with_hidden_entries s("main");
  for (std::int32_t n = 0; n < 4095; ++n) ASSERT_TRUE(bind_new(s, owner(n, 1, 16, 16)).ok) << n;
  // The last owner: one entry or one command more than fits is refused.
  EXPECT_EQ(bind_new(s, owner(4095, 1, 16, 17)).message, FULL);
  EXPECT_EQ(bind_new(s, owner(4095, 1, 17, 16)).message, FULL);
  const operation_result last = bind_new(s, owner(4095, 1, 16, 16));
  ASSERT_TRUE(last.ok) << last.message;
  EXPECT_EQ(s.entry_count(), MAX_STORE_ENTRIES);
  EXPECT_EQ(s.command_total(), MAX_STORE_COMMANDS);
  EXPECT_EQ(s.owner_count(), MAX_STORE_OWNERS);
  EXPECT_EQ(s.index_node_count(), MAX_STORE_INDEX_NODES);

  // Full: no new binding, no new resource; a newer generation of what is there still fits.
  EXPECT_EQ(bind_new(s, owner(5000, 1, 1, 0)).message, FULL);
  auto update = owner(7, 2, 16, 16);
  update.second.paints.push_back({"p", 0, 0, 0, 0, 0, 0, 100});
  EXPECT_EQ(s.update_owner(update.first, update.second, s.current_revision()).message, FULL);
  s.hidden = 1;
  EXPECT_EQ(s.update_owner(update.first, update.second, s.current_revision()).message,
            "retained resource store exceeds 200704 index nodes");
  s.hidden = 0;
  update.second.paints.clear();
  EXPECT_TRUE(s.update_owner(update.first, update.second, s.current_revision()).ok);

  // Lookups answer across the whole store.
  for (std::int32_t n : {0, 7, 2048, 4095}) {
    const auto o = owner(n, n == 7 ? 2 : 1, 16, 16);
    EXPECT_EQ(s.find_owner_binding(o.first.id), n);
    EXPECT_EQ(s.find_command_row(o.first.commands.back()), 16 * n + 15);
    EXPECT_EQ(s.find_command_owner(o.first.commands.front()), n);
    EXPECT_EQ(s.owner_command_image_row(n, 15), 16 * n + 15);
    EXPECT_EQ(s.read_image_row(s.index_find_key(make_index_key("image-latest", "i" + std::to_string(16 * n), 0))).id,
              "i" + std::to_string(16 * n));
  }
}

TEST(StoreLimits, OwnersAtFullSize) {
  retained_resource_store s("main");
  for (std::int32_t n = 0; n < 4096; ++n) ASSERT_TRUE(bind_new(s, owner(n, 1, 1, 0)).ok) << n;
  EXPECT_EQ(bind_new(s, owner(4096, 1, 1, 0)).message, "retained resource store exceeds 4096 owners");
  EXPECT_EQ(s.owner_count(), MAX_STORE_OWNERS);
  const auto update = owner(4095, 2, 1, 0);
  EXPECT_TRUE(s.update_owner(update.first, update.second, s.current_revision()).ok);
  EXPECT_EQ(s.find_command_owner(update.first.commands.front()), 4095);
}

}  // namespace
