// The five resource admissions: their steps and rules in order, and where
// accepted resources resolve.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>

#include "tests/retained/store/store_test_support.hpp"

using namespace store_test;

namespace {

using store = retained_resource_store;
// clang-format off
bool admit(store& s, preflight_result& r, staging_state& st, const paint_record& x) { return s.admit_paint(r, st, x); }
bool admit(store& s, preflight_result& r, staging_state& st, const render_image_record& x) { return s.admit_image(r, st, x); }
bool admit(store& s, preflight_result& r, staging_state& st, const glyph_alpha_record& x) { return s.admit_glyph_alpha(r, st, x); }
bool admit(store& s, preflight_result& r, staging_state& st, const clip_record& x) { return s.admit_clip(r, st, x); }
bool admit(store& s, preflight_result& r, staging_state& st, const transform_record& x) { return s.admit_transform(r, st, x); }
// clang-format on
using call = std::function<bool(store&, preflight_result&, staging_state&)>;
template <class R>
call X(R record) {
  return [record](store& s, preflight_result& r, staging_state& st) { return admit(s, r, st, record); };
}
template <class R, class F, class V>
R with(R record, F R::*field, V value) {
  record.*field = value;
  return record;
}

// The store holds p, img@3, glyph a, c and t; the overlay holds sp and si@5
// as an earlier item of a batch would have staged them.
struct admissions : ::testing::Test {
  open_store s{"main"};
  staging_state staging = make_staging_state(1);
  void SetUp() override {
    ASSERT_TRUE(s.bind_owner(fragment("o", 1, {1}), every_kind, 0).ok);
    staging.pending_paints.push_back(paint("sp"));
    staging.resource_keys.assign(make_index_key("paint", "sp", 0), 1);
    staging.pending_images.push_back(image("si", 5));
    staging.resource_keys.assign(make_index_key("image-generation", "si", 5), 1);
    staging.resource_keys.assign(make_index_key("image-latest", "si", 0), 1);
  }
};

struct row {
  std::vector<call> calls;
  text message;                         // empty: every call accepts; {0} is glyph b's identity
  std::array<std::uint32_t, 3> counts;  // validations, explicit and payload comparisons
  std::size_t accepted;
};

}  // namespace

TEST_F(admissions, EachKindFollowsItsStepsAndRulesInOrder) {
  const glyph_alpha_record b = glyph('b');
  // clang-format off
  const std::vector<row> rows = {
    {{X(paint("p"))}, "", {0, 1, 0}, 0},
    {{X(paint("sp"))}, "", {0, 1, 0}, 0},
    {{X(paint("n")), X(paint("n"))}, "", {1, 1, 0}, 1},
    {{X(paint("p", 999))}, "retained paint identity collision for p", {0, 1, 0}, 0},
    {{X(paint("n")), X(paint("n", 11))}, "retained paint identity collision for n", {1, 1, 0}, 1},
    {{X(paint(""))}, "render paint requires a nonempty id", {1, 0, 0}, 0},
    {{X(paint("n", 256))}, "render paint n requires RGBA channels from 0 through 255", {1, 0, 0}, 0},
    {{X(paint("n", -1))}, "render paint n requires RGBA channels from 0 through 255", {1, 0, 0}, 0},
    {{X(with(paint("n"), &paint_record::borderWidth, -1))}, "render paint n requires nonnegative radius and border width", {1, 0, 0}, 0},
    {{X(with(paint("n"), &paint_record::opacity, 101))}, "render paint n requires opacity from 0 through 100", {1, 0, 0}, 0},
    {{X(paint(text(257, 'x')))}, "retained paint id exceeds 256 bytes", {1, 0, 0}, 0},
    {{X(paint(text(256, 'x')))}, "", {1, 0, 0}, 1},
    {{X(image("img", 3))}, "", {0, 1, 1}, 0},
    {{X(image("si", 5))}, "", {0, 1, 1}, 0},
    {{X(image("img", 2))}, "retained image img generation regressed from 3 to 2", {0, 0, 0}, 0},
    {{X(image("si", 4))}, "retained image si generation regressed from 5 to 4", {0, 0, 0}, 0},
    {{X(with(image("img", 3), &render_image_record::payload, "00000000"))}, "retained image identity collision for img@3", {0, 1, 1}, 0},
    {{X(with(image("img", 4), &render_image_record::kind, "Image"))}, "render image img requires kind=image, received Image", {1, 0, 0}, 0},
    {{X(image("img", 4))}, "", {1, 0, 0}, 1},
    {{X(image("j", 2)), X(image("j", 0))}, "retained image j generation regressed from 2 to 0", {1, 0, 0}, 1},
    {{X(image("j", 1)), X(image("j", 0))}, "retained image j generation regressed from 1 to 0", {1, 0, 0}, 1},
    {{X(image("j", 1)), X(image("j", 1)), X(image("j", 2))}, "", {2, 1, 1}, 2},
    {{X(glyph('a'))}, "", {0, 1, 1}, 0},
    {{X(with(glyph('b'), &glyph_alpha_record::payload, "00")), X(with(b, &glyph_alpha_record::payload, "01"))}, "retained glyph identity collision for {0}", {1, 1, 1}, 1},
    {{X(glyph('B'))}, "", {1, 0, 0}, 1},
    {{X(with(b, &glyph_alpha_record::id, b.id.substr(1)))}, "render glyph alpha resource requires a sha256 content identity", {1, 0, 0}, 0},
    {{X(with(b, &glyph_alpha_record::id, b.id + "b"))}, "render glyph alpha resource requires a sha256 content identity", {1, 0, 0}, 0},
    {{X(with(b, &glyph_alpha_record::id, "sha255" + b.id.substr(6)))}, "render glyph alpha resource requires a sha256 content identity", {1, 0, 0}, 0},
    {{X(with(b, &glyph_alpha_record::source, ""))}, "render glyph alpha resource {0} requires a source", {1, 0, 0}, 0},
    {{X(with(b, &glyph_alpha_record::format, "a8"))}, "render glyph alpha resource {0} format must be a8-unorm-hex", {1, 0, 0}, 0},
    {{X(with(b, &glyph_alpha_record::height, 4097))}, "render glyph alpha resource {0} dimensions must be within 1..4096", {1, 0, 0}, 0},
    {{X(glyph_alpha_record{b.id, 4096, 4096, 4096, 16777216, "a8-unorm-hex", "", "s"})}, "render glyph alpha resource {0} requires tightly packed rows within 512 KiB", {1, 0, 0}, 0},
    {{X(with(b, &glyph_alpha_record::payload, "7g"))}, "render glyph alpha resource {0} payload must be exact A8 hexadecimal data", {1, 0, 0}, 0},
    {{X(with(clip("n"), &clip_record::x, -2000000))}, "", {1, 0, 0}, 1},
    {{X(with(clip("c"), &clip_record::x, 1))}, "retained clip identity collision for c", {0, 1, 0}, 0},
    {{X(clip(text(257, 'x')))}, "retained resource clip requires an id of 1..256 bytes", {1, 0, 0}, 0},
    {{X(with(clip("n"), &clip_record::height, 0))}, "retained resource clip n requires positive bounds and a nonnegative radius", {1, 0, 0}, 0},
    {{X(transform("identity"))}, "render transform id identity is reserved for the built-in identity transform", {1, 0, 0}, 0},
    {{X(transform(text(65, 't')))}, "render transform requires a nonempty id of at most 64 bytes", {1, 0, 0}, 0},
    {{X(with(transform("t"), &transform_record::rotation, 1))}, "retained transform identity collision for t", {0, 1, 0}, 0},
    {{X(with(transform("n"), &transform_record::translateY, -1000001))}, "render transform n translation must be within -1000000..1000000", {1, 0, 0}, 0},
    {{X(with(transform("n"), &transform_record::scaleX, 10001))}, "render transform n scale must be within 1..10000 percent", {1, 0, 0}, 0},
    {{X(with(transform("n"), &transform_record::rotation, -360001))}, "render transform n rotation must be within -360000..360000 millidegrees", {1, 0, 0}, 0},
  };
  // clang-format on
  const text before = s.fingerprint();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    preflight_result r = make_preflight_result("o", 1);
    bool last = false;
    for (const call& c : rows[i].calls) last = c(s, r, staging);
    const text expected =
        rows[i].message.empty() ? "preflight-not-complete" : format_placeholders(rows[i].message, {b.id});
    EXPECT_EQ(std::tuple(last, r.message, std::array{r.validations, r.explicit_comparisons, r.payload_comparisons},
                         r.accepted_paints.size() + r.accepted_images.size() + r.accepted_glyphs.size() +
                             r.accepted_clips.size() + r.accepted_transforms.size()),
              std::tuple(rows[i].message.empty(), expected, rows[i].counts, rows[i].accepted))
        << i;
  }
  EXPECT_EQ(s.fingerprint(), before);
}

// Accepted resources resolve to the first position of their identity, as a
// walk of the list from its start would find them, also after it shrank.
TEST_F(admissions, AcceptedResourcesResolveToTheirFirstPosition) {
  std::mt19937 rng(7);
  preflight_result r = make_preflight_result("o", 1);
  for (int step = 0; step < 300; ++step) {
    if (step == 150) r.accepted_paints.resize(20);
    if (step % 50 == 0 && !r.accepted_paints.empty()) r.accepted_paints[0] = paint("changed in place");
    const text id = std::to_string(rng() % 40);
    s.admit_paint(r, staging, paint(id, static_cast<std::int32_t>(rng() % 2)));
    s.admit_image(r, staging, image(id, static_cast<std::int32_t>(rng() % 3)));
    for (int k = 0; k < 40; ++k) {
      const auto& list = r.accepted_paints;
      const auto hit = std::find_if(list.begin(), list.end(), [&](auto& p) { return p.id == std::to_string(k); });
      ASSERT_EQ(s.resolve_paint_reference(r, staging, std::to_string(k)),
                hit == list.end() ? -1 : hit - list.begin() + 2);
    }
  }
  for (std::size_t k = 0; k < r.accepted_images.size(); ++k) {
    EXPECT_EQ(s.resolve_image_reference(r, staging, r.accepted_images[k].id, r.accepted_images[k].generation), k + 2);
  }
}
