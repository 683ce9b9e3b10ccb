// The read-only face of the store, close, and dispatch through the table of operations.
#include <gtest/gtest.h>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

TEST(StoreDiagnostics, CloseEmptiesRowsKeepsTotalsAndAnswersMinusOneAfter) {
  for (const text& surface : {text("main"), text()}) {
    open_store store(surface);
    random_records r;
    store.append_paint_row(r.paint());
    store.append_image_row(r.image());
    store.index_put("5:paint:1:x:0", 0);
    store.index_put("5:paint:1:x:0", 1);  // an overwrite visits at least its own node
    store.revision = 5;
    store.commands = 3, store.payload = 16, store.validations = 7;
    store.explicit_comparisons = 8, store.payload_comparisons = 9, store.admissions = 10;
    const std::uint32_t probes = store.index_probe_total();
    ASSERT_GT(probes, 0u);
    ASSERT_TRUE(store.close_store());
    const text closed = diagnostics(surface, "closed", {6, 0, 0, 0, 0, 7, 8, 9, 10});
    EXPECT_EQ(store.store_diagnostics_text(), closed);
    EXPECT_EQ(store.index_node_count(), 0u);
    EXPECT_EQ(store.index_bucket_count(), 8192u);
    EXPECT_EQ(store.index_probe_total(), probes);
    // No bucket heads remain: lookups answer -1, puts change nothing.
    orvi::preflight_result result = orvi::make_preflight_result("o", 1);
    store.index_put("5:paint:1:x:0", 4);
    EXPECT_EQ(store.index_find_key("5:paint:1:x:0"), -1);
    EXPECT_EQ(store.index_get(result, "5:paint:1:x:0"), -1);
    EXPECT_EQ(store.find_owner_binding("o"), -1);
    EXPECT_EQ(store.index_node_count() + result.index_probes, 0u);
    EXPECT_TRUE(store.close_store());
    EXPECT_EQ(store.store_diagnostics_text(), closed);
  }
}

TEST(StoreDiagnostics, CommandAndOwnerRowAccessorsStayInsideTheirTables) {
  open_store store("main");
  orvi::render_command_record command{}, image_command{};
  image_command.sequence = 9, image_command.kind = "image", image_command.resourceId = "img";
  image_command.imageGeneration = 4;
  store.append_command_row(0, command, 1, 2, 3, 4, 5);
  store.append_command_row(2, command, -1, -1, -1, -1, -1);
  store.set_command_row(1, image_command, 6, 7, 8, 9, 10);
  store.set_command_row(2, command, 0, 0, 0, 0, 0);  // past the end: nothing to overwrite
  const orvi::command_columns& t = store.command_table;
  for (std::size_t row : {0u, 1u}) {
    const auto& c = row == 0 ? command : image_command;
    EXPECT_EQ(t.sequence[row], static_cast<std::uint32_t>(c.sequence));
    EXPECT_EQ(t.command_text[row], orvi::command_record_text(c));
    EXPECT_EQ(t.kind[row] + "/" + t.resource_id[row], c.kind + "/" + c.resourceId);
    EXPECT_EQ(t.image_generation[row], static_cast<std::uint32_t>(c.imageGeneration));
  }
  store.owner_table = {{"o"}, {3}, {9}, {9}, {0}, {1}};
  auto owner_rows = [&](std::int32_t owner, std::int32_t j) {
    return std::vector<std::int32_t>{store.owner_command_paint_row(owner, j), store.owner_command_image_row(owner, j),
                                     store.owner_command_glyph_row(owner, j), store.owner_command_clip_row(owner, j),
                                     store.owner_command_transform_row(owner, j)};
  };
  auto command_rows = [&](std::int32_t row) {
    return std::vector<std::int32_t>{store.command_paint_row(row), store.command_image_row(row),
                                     store.command_glyph_row(row), store.command_clip_row(row),
                                     store.command_transform_row(row)};
  };
  const std::vector<std::int32_t> none(5, -1);
  EXPECT_EQ(owner_rows(0, 0), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(command_rows(1), (std::vector<std::int32_t>{6, 7, 8, 9, 10}));
  EXPECT_EQ(owner_rows(0, 1), none);     // past the owner's own commands
  EXPECT_EQ(store.command_owner(1), 2);  // overwriting keeps the owner row
  EXPECT_EQ(store.owner_generation(0), 3u);
  for (std::int32_t bad : {-1, 2, INT32_MAX}) {
    EXPECT_EQ(store.command_owner(bad), -1);
    EXPECT_EQ(command_rows(bad), none);
    EXPECT_EQ(owner_rows(0, bad), none);
    EXPECT_EQ(owner_rows(bad, 0), none);
    EXPECT_EQ(store.owner_generation(bad), 0u);
    EXPECT_TRUE(orvi::paints_equal(store.read_paint_row(bad), {}));
    EXPECT_TRUE(orvi::images_equal(store.read_image_row(bad), {}));
    EXPECT_TRUE(orvi::glyphs_equal(store.read_glyph_row(bad), {}));
    EXPECT_TRUE(orvi::clips_equal(store.read_clip_row(bad), {}));
    EXPECT_TRUE(orvi::transforms_equal(store.transform_at(orvi::staging_state{}, bad), {}));
  }
}

}  // namespace
