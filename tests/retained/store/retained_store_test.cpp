// Construction, the store index, column tables with their finds, the read-only
// face and close of the retained resource store.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <type_traits>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace {

using orvi::retained_resource_store;
using orvi::text;

// Opens the protected fields, so a test can set figures no built operation sets yet.
struct open_store : retained_resource_store {
  using retained_resource_store::admissions;
  using retained_resource_store::commands;
  using retained_resource_store::explicit_comparisons;
  using retained_resource_store::owner_table;
  using retained_resource_store::payload;
  using retained_resource_store::payload_comparisons;
  using retained_resource_store::retained_resource_store;
  using retained_resource_store::revision;
  using retained_resource_store::token;
  using retained_resource_store::validations;
};

text diagnostics(const text& surface, const text& state, const std::vector<int>& figures) {
  text line = "retained-resource-store-v1: surface=" + surface + "; state=" + state;
  const char* names[] = {"revision",
                         "entries",
                         "owners",
                         "commands",
                         "payload",
                         "validations",
                         "explicit-comparisons",
                         "payload-comparisons",
                         "admissions"};
  for (int i = 0; i < 9; ++i) line += "; " + std::string(names[i]) + "=" + std::to_string(figures[i]);
  return line + "; rejections=operation-results-only";
}

orvi::render_image_record image(const text& id, std::int32_t generation) {
  orvi::render_image_record record;
  record.id = id;
  record.generation = generation;
  return record;
}

// Random texts reach the separators and multi-byte characters the keys must keep apart.
struct random_records {
  std::mt19937 rng{20261207};
  text str() {
    static const std::vector<text> parts = {"a", "Z", "0", "|", ":", "{0}", "\xC3\xA9", " ", "-"};
    text s;
    for (int n = static_cast<int>(rng() % 6); n > 0; --n) s += parts[rng() % parts.size()];
    return s;
  }
  std::int32_t num() { return static_cast<std::int32_t>(rng()); }
  orvi::paint_record paint() { return {str(), num(), num(), num(), num(), num(), num(), num()}; }
  orvi::render_image_record image() {
    return {str(), str(), num(), num(), num(), num(), str(), str(), str(), str(), rng() % 2 == 0, str(), str(), str()};
  }
  orvi::glyph_alpha_record glyph() { return {str(), num(), num(), num(), num(), str(), str(), str()}; }
  orvi::clip_record clip() { return {str(), num(), num(), num(), num(), num()}; }
  orvi::transform_record transform() { return {str(), num(), num(), num(), num(), num()}; }
};

TEST(RetainedStore, NewStoreFiguresAndDiagnosticsBySurfaceLength) {
  for (const auto& [bytes, state] :
       std::vector<std::pair<int, text>>{{0, "invalid"}, {4, "open"}, {128, "open"}, {129, "invalid"}}) {
    const text surface(static_cast<std::size_t>(bytes), 's');
    retained_resource_store store(surface);
    EXPECT_EQ(store.surface_name(), surface);
    EXPECT_EQ(store.state_name(), state);
    EXPECT_EQ(store.store_diagnostics_text(), diagnostics(surface, state, {0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(store.index_bucket_count(), 8192u);
    EXPECT_EQ(store.index_node_count() + store.index_probe_total() + store.entry_count() + store.owner_count(), 0u);
  }
}

TEST(RetainedStore, StoreIsNeitherCopyableNorMovable) {
  static_assert(!std::is_copy_constructible_v<retained_resource_store>);
  static_assert(!std::is_copy_assignable_v<retained_resource_store>);
  static_assert(!std::is_move_constructible_v<retained_resource_store>);
  static_assert(!std::is_move_assignable_v<retained_resource_store>);
  open_store a("main"), b("main");
  EXPECT_NE(a.token, b.token);
}

TEST(RetainedStore, CloseEmptiesRowsKeepsTotalsAndAnswersMinusOneAfter) {
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

TEST(RetainedStore, IndexPutGetAndFindCountProbesInTheirOwnPlaces) {
  retained_resource_store store("main");
  // Two keys forced into one bucket.
  const text first = "k0";
  text second;
  for (int i = 1; second.empty(); ++i) {
    const text k = "k" + std::to_string(i);
    if (orvi::hash_resource_text(k, 8192) == orvi::hash_resource_text(first, 8192)) second = k;
  }
  store.index_put(first, 1);
  store.index_put(second, 2);
  EXPECT_EQ(store.index_probe_total(), 1u);  // the second put walked past the first
  store.index_put(first, 3);                 // overwrite: later key is visited first
  EXPECT_EQ(store.index_probe_total(), 3u);
  EXPECT_EQ(store.index_node_count(), 2u);

  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.index_get(result, second), 2);
  EXPECT_EQ(result.index_probes, 1u);
  EXPECT_EQ(store.index_get(result, first), 3);
  EXPECT_EQ(result.index_probes, 3u);
  ASSERT_NE(orvi::hash_resource_text("absent", 8192), orvi::hash_resource_text(first, 8192));
  EXPECT_EQ(store.index_get(result, "absent"), -1);  // an empty bucket visits nothing
  EXPECT_EQ(result.index_probes, 3u);
  EXPECT_EQ(store.index_find_key(first), 3);
  EXPECT_EQ(store.index_find_key(second + "x"), -1);
  EXPECT_EQ(result.index_probes + store.index_probe_total(), 6u);
}

TEST(RetainedStore, EveryKindRoundTripsThroughItsColumnsAndIsFoundByItsKey) {
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

TEST(RetainedStore, ImageLatestNamesTheLastAppendedGeneration) {
  retained_resource_store store("main");
  orvi::staging_state staging = orvi::make_staging_state(1);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.find_latest_image_index(result, staging, "img"), 0u);
  for (int generation : {1, 2}) store.append_image_row(image("img", generation));
  EXPECT_EQ(store.index_find_key(orvi::make_index_key("image-latest", "img", 0)), 1);
  EXPECT_EQ(store.find_latest_image_index(result, staging, "img"), 2u);
  EXPECT_EQ(store.index_node_count(), 3u);
}

TEST(RetainedStore, GlyphReadsBackItsA8Format) {
  retained_resource_store store("main");
  store.append_glyph_row({"sha256:" + text(64, 'a'), 1, 1, 1, 1, "a8-unorm-hex", "ff", "s"});
  EXPECT_EQ(store.read_glyph_row(0).format, "a8-unorm-hex");
}

TEST(RetainedStore, CombinedRowsCoverStoredPendingAndAcceptedRegions) {
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

TEST(RetainedStore, OwnerLookupsCountOnlyInTheirCountedForm) {
  retained_resource_store store("main");
  store.index_put(orvi::make_index_key("binding", "owner", 0), 4);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.find_owner_binding("owner"), 4);
  EXPECT_EQ(result.index_probes, 0u);
  EXPECT_EQ(store.find_owner_binding_counted(result, "owner"), 4);
  EXPECT_GE(result.index_probes, 1u);
  EXPECT_EQ(store.find_owner_binding("never"), -1);
}

TEST(RetainedStore, CommandAndOwnerRowAccessorsStayInsideTheirTables) {
  open_store store("main");
  orvi::render_command_record command{};
  command.sequence = 9;
  store.append_command_row(0, command, 1, 2, 3, 4, 5);
  store.append_command_row(2, command, -1, -1, -1, -1, -1);
  command.kind = "image";
  store.set_command_row(1, command, 6, 7, 8, 9, 10);
  store.set_command_row(2, command, 0, 0, 0, 0, 0);  // past the end: nothing to overwrite
  store.owner_table = {{"o"}, {3}, {9}, {9}, {0}, {2}};
  const std::int32_t paint_rows[] = {1, 6}, transform_rows[] = {5, 10};
  for (std::int32_t j = 0; j < 2; ++j) {
    EXPECT_EQ(store.owner_command_paint_row(0, j), paint_rows[j]);
    EXPECT_EQ(store.owner_command_image_row(0, j), paint_rows[j] + 1);
    EXPECT_EQ(store.owner_command_glyph_row(0, j), paint_rows[j] + 2);
    EXPECT_EQ(store.owner_command_clip_row(0, j), paint_rows[j] + 3);
    EXPECT_EQ(store.owner_command_transform_row(0, j), transform_rows[j]);
  }
  EXPECT_EQ(store.command_owner(1), 2);  // overwriting keeps the owner row
  EXPECT_EQ(store.owner_generation(0), 3u);
  for (std::int32_t bad : {-1, 2, INT32_MAX}) {
    EXPECT_EQ(store.command_owner(bad), -1);
    EXPECT_EQ(store.command_paint_row(bad) & store.command_image_row(bad) & store.command_glyph_row(bad) &
                  store.command_clip_row(bad) & store.command_transform_row(bad),
              -1);
    EXPECT_EQ(store.owner_command_paint_row(0, bad), -1);
    EXPECT_EQ(store.owner_command_transform_row(bad, 0), -1);
    EXPECT_EQ(store.owner_generation(bad), 0u);
    EXPECT_TRUE(orvi::paints_equal(store.read_paint_row(bad), {}));
    EXPECT_TRUE(orvi::images_equal(store.read_image_row(bad), {}));
    EXPECT_TRUE(orvi::glyphs_equal(store.read_glyph_row(bad), {}));
    EXPECT_TRUE(orvi::clips_equal(store.read_clip_row(bad), {}));
    EXPECT_TRUE(orvi::transforms_equal(store.read_transform_row(bad), {}));
    EXPECT_TRUE(orvi::transforms_equal(store.transform_at(orvi::staging_state{}, bad), {}));
  }
}

// Replaces two steps, to show the store reaches them through its table.
struct overriding_store : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::uint32_t entry_count() override { return 42; }
  std::int32_t index_get(orvi::preflight_result& result, const text&) override {
    ++result.index_probes;
    return 77;
  }
  orvi::paint_record read_paint_row(std::int32_t) override { return {.id = "replaced"}; }
};

TEST(RetainedStore, DerivedStoreReplacesStepsThatOtherOperationsReach) {
  overriding_store store("main");
  store.append_paint_row({.id = "p"});
  EXPECT_EQ(store.store_diagnostics_text(), diagnostics("main", "open", {0, 42, 0, 0, 0, 0, 0, 0, 0}));
  orvi::staging_state staging = orvi::make_staging_state(1);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  EXPECT_EQ(store.find_clip_index(result, staging, "anything"), 77);
  EXPECT_EQ(store.find_owner_binding_counted(result, "anything"), 77);
  EXPECT_EQ(result.index_probes, 2u);
  EXPECT_EQ(store.paint_at(staging, 0).id, "replaced");
}

TEST(RetainedStore, WorkingRecordsStartEmpty) {
  const orvi::preflight_result result = orvi::make_preflight_result("owner", 3);
  EXPECT_EQ(result.admitted, 0);
  EXPECT_EQ(result.message, "preflight-not-complete");
  EXPECT_EQ(result.owner.owner_id, "owner");
  EXPECT_EQ(result.owner.generation, 3u);
  EXPECT_EQ(result.owner.first_sequence, 4294967295u);
  EXPECT_EQ(result.owner.last_sequence, 4294967295u);
  orvi::staging_state staging = orvi::make_staging_state(64);
  EXPECT_EQ(staging.batch_sequences.bucket_count(), 64u);
  EXPECT_EQ(staging.batch_owners.find("k") + staging.resource_keys.find("k"), -2);
  EXPECT_EQ(orvi::staging_index_node_count(staging), 0u);
}

}  // namespace
