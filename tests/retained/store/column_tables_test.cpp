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
    // Fresh ids (random texts never hold "#"), so each key names this row.
    const text n = "#" + std::to_string(i);
    auto paint = r.paint();
    auto image = r.image();
    auto glyph = r.glyph();
    auto clip = r.clip();
    auto transform = r.transform();
    paint.id += n, image.id += n, glyph.id += n, clip.id += n, transform.id += n;
    if (i == 0) glyph.format = "a8-unorm-hex";
    const auto row = static_cast<std::int32_t>(store.paint_count());
    store.append_paint_row(paint);
    store.append_image_row(image);
    store.append_glyph_row(glyph);
    store.append_clip_row(clip);
    store.append_transform_row(transform);
    EXPECT_TRUE(orvi::paints_equal(store.read_paint_row(row), paint));
    EXPECT_TRUE(orvi::images_equal(store.read_image_row(row), image));
    EXPECT_TRUE(orvi::glyphs_equal(store.read_glyph_row(row), glyph));
    EXPECT_TRUE(orvi::clips_equal(store.read_clip_row(row), clip));
    EXPECT_TRUE(orvi::transforms_equal(store.read_transform_row(row), transform));
    EXPECT_EQ(store.find_image_generation_index(result, staging, image.id, image.generation), row);
    EXPECT_EQ((std::vector<std::int32_t>{store.find_paint_index(result, staging, paint.id),
                                         store.find_glyph_index(result, staging, glyph.id),
                                         store.find_clip_index(result, staging, clip.id),
                                         store.find_transform_index(result, staging, transform.id)}),
              std::vector<std::int32_t>(4, row));
  }
  EXPECT_EQ(store.read_glyph_row(0).format, "a8-unorm-hex");
  EXPECT_EQ(store.entry_count(), 1000u);
  EXPECT_EQ(store.index_node_count(), 1200u);
  EXPECT_EQ(store.command_total() + store.payload_total() + store.current_revision(), 0u);
}

// One kind's three regions: a stored row, a pending row, and an accepted
// resource after a decoy. Each id resolves to its combined row; rows of the
// first two regions read back, any other row reads as an empty record.
using store_t = retained_resource_store;
template <class R>
void check_regions(const char* word, void (store_t::*append)(const R&),
                   std::int32_t (store_t::*resolve)(orvi::preflight_result&, orvi::staging_state&, const text&),
                   R (store_t::*at)(const orvi::staging_state&, std::int32_t),
                   std::vector<R> orvi::staging_state::*pending, std::vector<R> orvi::preflight_result::*accepted) {
  retained_resource_store store("main");
  orvi::staging_state staging = orvi::make_staging_state(4);
  orvi::preflight_result result = orvi::make_preflight_result("o", 1);
  auto record = [](const char* id) {
    R r{};
    r.id = id;
    return r;
  };
  (store.*append)(record("stored"));
  (staging.*pending).push_back(record("pending"));
  staging.resource_keys.assign(orvi::make_index_key(word, "pending", 0), 1);
  result.*accepted = {record("other"), record("accepted")};
  const std::pair<text, std::int32_t> cases[] = {{"stored", 0}, {"pending", 1}, {"other", 2}, {"accepted", 3}};
  for (const auto& [id, row] : cases) {
    EXPECT_EQ((store.*resolve)(result, staging, id), row) << word << " " << id;
    EXPECT_EQ((store.*at)(staging, row).id, row < 2 ? id : "") << word << " " << id;
  }
  EXPECT_EQ((store.*resolve)(result, staging, "absent"), -1) << word;
  EXPECT_EQ((store.*at)(staging, -1).id, "") << word;
}

TEST(ColumnTables, CombinedRowsCoverStoredPendingAndAcceptedRegions) {
  using S = orvi::staging_state;
  using P = orvi::preflight_result;
  check_regions("paint", &store_t::append_paint_row, &store_t::resolve_paint_reference, &store_t::paint_at,
                &S::pending_paints, &P::accepted_paints);
  check_regions("glyph", &store_t::append_glyph_row, &store_t::resolve_glyph_reference, &store_t::glyph_at,
                &S::pending_glyphs, &P::accepted_glyphs);
  check_regions("clip", &store_t::append_clip_row, &store_t::resolve_clip_reference, &store_t::clip_at,
                &S::pending_clips, &P::accepted_clips);
  check_regions("transform", &store_t::append_transform_row, &store_t::resolve_transform_reference,
                &store_t::transform_at, &S::pending_transforms, &P::accepted_transforms);
}

}  // namespace
