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
    store.revision = 5, store.owner_table = {{"o"}, {1}, {1}, {1}, {0}, {1}};  // emptied by the close too
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
    preflight_result result = make_preflight_result("o", 1);
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
  render_command_record command{}, image_command{};
  image_command.sequence = 9, image_command.kind = "image", image_command.resourceId = "img";
  image_command.imageGeneration = 4;
  store.append_command_row(0, command, 1, 2, 3, 4, 5);
  store.append_command_row(2, command, -1, -1, -1, -1, -1);
  store.set_command_row(1, image_command, 6, 7, 8, 9, 10);
  store.set_command_row(2, command, 0, 0, 0, 0, 0);  // past the end: nothing to overwrite
  const command_columns& t = store.command_table;
  EXPECT_EQ(t.command_text, (std::vector{command_record_text(command), command_record_text(image_command)}));
  EXPECT_EQ(t.kind[1] + t.resource_id[1] + std::to_string(t.sequence[1]) + std::to_string(t.image_generation[1]),
            "imageimg94");
  store.owner_table = {{"o"}, {3}, {9}, {9}, {0}, {1}};
  const auto rows = [&](std::int32_t owner, std::int32_t j, std::int32_t row) {
    using s = retained_resource_store;
    std::vector<std::int32_t> out{store.command_owner(row), static_cast<std::int32_t>(store.owner_generation(owner))};
    for (auto [by_owner, by_row] : {std::pair{&s::owner_command_paint_row, &s::command_paint_row},
                                    {&s::owner_command_image_row, &s::command_image_row},
                                    {&s::owner_command_glyph_row, &s::command_glyph_row},
                                    {&s::owner_command_clip_row, &s::command_clip_row},
                                    {&s::owner_command_transform_row, &s::command_transform_row}}) {
      out.push_back((store.*by_owner)(owner, j)), out.push_back((store.*by_row)(row));
    }
    return out;
  };
  EXPECT_EQ(rows(0, 0, 1), (std::vector{2, 3, 1, 6, 2, 7, 3, 8, 4, 9, 5, 10}));      // overwriting keeps the owner row
  EXPECT_EQ(rows(0, 1, 0), (std::vector{0, 3, -1, 1, -1, 2, -1, 3, -1, 4, -1, 5}));  // past the owner's commands
  for (std::int32_t bad : {-1, 2, INT32_MAX}) {
    EXPECT_EQ(rows(bad, 0, bad), (std::vector{-1, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1})) << bad;
    EXPECT_EQ(rows(0, bad, bad), (std::vector{-1, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1})) << bad;
    EXPECT_EQ(paint_record_text(store.read_paint_row(bad)) + image_record_text(store.read_image_row(bad)) +
                  glyph_record_text(store.read_glyph_row(bad)) + clip_record_text(store.read_clip_row(bad)) +
                  transform_record_text(store.transform_at(staging_state{}, bad)),
              paint_record_text({}) + image_record_text({}) + glyph_record_text({}) + clip_record_text({}) +
                  transform_record_text({}));
  }
}

}  // namespace
