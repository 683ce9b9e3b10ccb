// The candidate overlay and the lookup of stored commands.
#include <gtest/gtest.h>

#include "tests/retained/store/owner_history_support.hpp"

namespace {

using namespace store_test;

TEST(CandidateOverlay, StagedResourcesAreFoundAtTheirCombinedRows) {
  retained_resource_store store("main");
  store.append_paint_row(paint("p"));
  store.append_image_row(ready_image("held", 1));
  staging_state staging = make_staging_state(64);
  preflight_result accepted = make_preflight_result("o", 1);
  accepted.accepted_paints = {paint("q")};
  accepted.accepted_images = {ready_image("held", 2), ready_image("new", 1), ready_image("new", 2)};
  accepted.accepted_glyphs = {glyph_alpha_record{"g", 8, 8, 8, 64, "a8-unorm-hex", "", "s"}};
  store.index_staged_resources(accepted, staging);
  // A known image id adds only its generation key; an unknown one its latest key too.
  EXPECT_EQ(staging.staged_nodes, 1u + 1u + 2u + 1u + 1u);
  EXPECT_EQ(staging.staged_payload, 3u * 4u + 64u);
  preflight_result r = make_preflight_result("o", 1);
  EXPECT_EQ(store.find_paint_index(r, staging, "q"), 1);
  EXPECT_EQ(store.find_image_generation_index(r, staging, "new", 1), 2);
  EXPECT_EQ(store.find_latest_image_index(r, staging, "new"), 2u);
  EXPECT_EQ(store.glyph_at(staging, store.find_glyph_index(r, staging, "g")).sizeBytes, 64);
  EXPECT_EQ(store.paint_count() + store.image_count() + store.index_node_count(), 2u + 3u);
}

TEST(CommandLookup, FindsOnlyACommandStoredExactlyAsGiven) {
  retained_resource_store store("main");
  ASSERT_TRUE(store.bind_owner(owner("a", 1, 1, 2), delta(), 0).ok);
  owner_fragment b = owner("b", 1, 10, 3);
  ASSERT_TRUE(store.bind_owner(b, delta(), 1).ok);
  owner_fragment newer = owner("b", 2, 10, 3);
  newer.commands[1].geometry[17] = 5;
  ASSERT_TRUE(store.update_owner(newer, delta(), 2).ok);
  render_command_record unstored = newer.commands[1];
  unstored.sequence = 99;
  const struct {
    render_command_record command;
    std::int32_t row, owner;
  } cases[] = {{newer.commands[1], 3, 1}, {b.commands[1], -1, -1}, {unstored, -1, -1}, {newer.commands[0], 2, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(store.find_command_row(c.command), c.row);
    EXPECT_EQ(store.find_command_owner(c.command), c.owner);
  }
  store.close_store();
  EXPECT_EQ(store.find_command_row(newer.commands[1]), -1);
  EXPECT_EQ(store.find_command_owner(newer.commands[1]), -1);
}

}  // namespace
