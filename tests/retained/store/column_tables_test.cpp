// Column tables: appends, row reads, combined rows, finds and reference resolution.
#include <gtest/gtest.h>

#include "retained/model/index.hpp"
#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

TEST(ColumnTables, EveryKindRoundTripsThroughItsColumnsAndIsFoundByItsKey) {
  retained_resource_store store("main");
  random_records r;
  orvi::staging_state staging = orvi::make_staging_state(1);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  for (int i = 0; i < 200; ++i) {
    orvi::paint_record paint = r.paint();
    orvi::render_image_record image_record = r.image();
    orvi::glyph_alpha_record glyph = r.glyph();
    orvi::clip_record clip = r.clip();
    auto transform = r.transform();
    const std::int32_t row = static_cast<std::int32_t>(store.paint_count());
    // Fresh ids, so each key names this row.
    paint.id += "#" + std::to_string(i), image_record.id += "#" + std::to_string(i);
    glyph.id += "#" + std::to_string(i), clip.id += "#" + std::to_string(i), transform.id += "#" + std::to_string(i);
    store.append_paint_row(paint);
    store.append_image_row(image_record);
    store.append_glyph_row(glyph);
    store.append_clip_row(clip);
    store.append_transform_row(transform);
    EXPECT_TRUE(orvi::paints_equal(store.read_paint_row(row), paint));
    EXPECT_TRUE(orvi::images_equal(store.read_image_row(row), image_record));
    EXPECT_TRUE(orvi::glyphs_equal(store.read_glyph_row(row), glyph));
    EXPECT_TRUE(orvi::clips_equal(store.read_clip_row(row), clip));
    EXPECT_TRUE(orvi::transforms_equal(store.read_transform_row(row), transform));
    EXPECT_EQ(store.find_paint_index(result, staging, paint.id), row);
    EXPECT_EQ(store.find_image_generation_index(result, staging, image_record.id, image_record.generation), row);
    EXPECT_EQ(store.find_latest_image_index(result, staging, image_record.id),
              static_cast<std::uint32_t>(image_record.generation));
    EXPECT_EQ(store.find_glyph_index(result, staging, glyph.id), row);
    EXPECT_EQ(store.find_clip_index(result, staging, clip.id), row);
    EXPECT_EQ(store.find_transform_index(result, staging, transform.id), row);
  }
  EXPECT_EQ(store.entry_count(), 1000u);
  EXPECT_EQ(store.index_node_count(), 1200u);
  EXPECT_EQ(store.command_total() + store.payload_total() + store.current_revision(), 0u);
}

TEST(ColumnTables, ImageLatestNamesTheLastAppendedGeneration) {
  retained_resource_store store("main");
  orvi::staging_state staging = orvi::make_staging_state(1);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.find_latest_image_index(result, staging, "img"), 0u);
  for (int generation : {1, 2}) store.append_image_row(image("img", generation));
  EXPECT_EQ(store.index_find_key(orvi::make_index_key("image-latest", "img", 0)), 1);
  EXPECT_EQ(store.find_latest_image_index(result, staging, "img"), 2u);
  EXPECT_EQ(store.index_node_count(), 3u);
}

TEST(ColumnTables, GlyphReadsBackItsA8Format) {
  retained_resource_store store("main");
  store.append_glyph_row({"sha256:" + text(64, 'a'), 1, 1, 1, 1, "a8-unorm-hex", "ff", "s"});
  EXPECT_EQ(store.read_glyph_row(0).format, "a8-unorm-hex");
}

TEST(ColumnTables, CombinedRowsCoverStoredPendingAndAcceptedRegions) {
  retained_resource_store store("main");
  store.append_paint_row({.id = "stored", .red = 1});
  orvi::staging_state staging = orvi::make_staging_state(4);
  staging.pending_paints.push_back({.id = "pending", .red = 2});
  staging.resource_keys.assign(orvi::make_index_key("paint", "pending", 0), 1);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  result.accepted_paints = {{.id = "other", .red = 3}, {.id = "accepted", .red = 4}};

  const struct {
    text id;
    std::int32_t row;
    std::int32_t red;  // 0: the row is not readable as a stored or pending one
  } cases[] = {{"stored", 0, 1}, {"pending", 1, 2}, {"accepted", 3, 0}, {"absent", -1, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(store.resolve_paint_reference(result, staging, c.id), c.row) << c.id;
    EXPECT_EQ(store.paint_at(staging, c.row).red, c.red) << c.id;
  }
  EXPECT_EQ(store.find_paint_index(result, staging, "accepted"), -1);  // finds never scan the accepted list
  EXPECT_GT(staging.resource_keys.probes(), 0u);
  EXPECT_EQ(orvi::staging_index_node_count(staging), staging.resource_keys.probes());

  // An image resolves only when id and generation both match.
  result.accepted_images = {image("img", 3)};
  EXPECT_EQ(store.resolve_image_reference(result, staging, "img", 3), 0);
  EXPECT_EQ(store.resolve_image_reference(result, staging, "img", 2), -1);
  // A pending image names the latest generation.
  staging.pending_images.push_back(image("img", 7));
  staging.resource_keys.assign(orvi::make_index_key("image-latest", "img", 0), 0);
  EXPECT_EQ(store.find_latest_image_index(result, staging, "img"), 7u);
}

}  // namespace
