// Admission of an owner with its delta through the direct binds, updates and
// preflights: the rules of each resource kind and the owner's refusals, each in
// order, where accepted resources resolve, the store limits at and one past
// their values, and an apply cut short by an exception.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <random>

#include "tests/retained/store/store_test_support.hpp"

using namespace store_test;

namespace {

// The fragment with its first command changed.
owner_fragment first(owner_fragment f, const std::function<void(render_command_record&)>& change) {
  change(f.commands[0]);
  return f;
}
template <class R, class F, class V>
R with(R record, F R::*field, V value) {
  record.*field = value;
  return record;
}
// Deltas of one resource kind.
resource_delta P(std::vector<paint_record> v) { return {"main", std::move(v), {}, {}, {}, {}}; }
resource_delta I(std::vector<render_image_record> v) { return {"main", {}, std::move(v), {}, {}, {}}; }
resource_delta G(std::vector<glyph_alpha_record> v) { return {"main", {}, {}, std::move(v), {}, {}}; }
resource_delta C(std::vector<clip_record> v) { return {"main", {}, {}, {}, std::move(v), {}}; }
resource_delta T(std::vector<transform_record> v) { return {"main", {}, {}, {}, {}, std::move(v)}; }

// Every write step of an apply throws at its n-th call, counted over all of
// them; index writes throw after writing, the others before.
struct failing_store : open_store {
  using open_store::open_store;
  using base = open_store;
  using row = std::int32_t;
  int countdown = 0;
  void tick() {
    if (countdown > 0 && --countdown == 0) throw std::bad_alloc();
  }
  // clang-format off
  void append_paint_row(const paint_record& r) override { tick(), base::append_paint_row(r); }
  void append_image_row(const render_image_record& r) override { tick(), base::append_image_row(r); }
  void append_glyph_row(const glyph_alpha_record& r) override { tick(), base::append_glyph_row(r); }
  void append_clip_row(const clip_record& r) override { tick(), base::append_clip_row(r); }
  void append_transform_row(const transform_record& r) override { tick(), base::append_transform_row(r); }
  void index_put(const text& key, std::uint32_t value) override { base::index_put(key, value), tick(); }
  void append_command_row(row o, const render_command_record& c, row p, row i, row g, row l, row t) override { tick(), base::append_command_row(o, c, p, i, g, l, t); }
  void set_command_row(row r, const render_command_record& c, row p, row i, row g, row l, row t) override { tick(), base::set_command_row(r, c, p, i, g, l, t); }
  // clang-format on
  // A replaced apply_delta_rows throws at its `cut`-th call, after the base wrote everything.
  int cut = 0;
  void apply_delta_rows(const preflight_result& r, std::uint8_t kind) override {
    base::apply_delta_rows(r, kind);
    if (cut > 0 && --cut == 0) throw std::bad_alloc();
  }
  // Replaced admission steps: a paint named "veto" is refused, and `phantom` entries more are counted.
  std::uint32_t phantom = 0;
  bool admit_paint(preflight_result& r, staging_state& st, const paint_record& p) override {
    if (p.id != "veto") return base::admit_paint(r, st, p);
    r.message = "vetoed";
    return false;
  }
  std::uint32_t entry_count() override { return base::entry_count() + phantom; }
};

// Owner a holds 10, 15 and 20, drawing img@3 at 10, and brought p, img@3, glyph
// a, c and t; b to e follow at 31..34, so the store is at revision 5. The
// overlay holds sp and si@5 as an earlier item of a batch would have staged them.
struct owner_admission : ::testing::Test {
  failing_store s{"main"};
  staging_state pending = make_staging_state(1);
  const owner_fragment a1 = first(fragment("a", 1, {10, 15, 20}),
                                  [](auto& c) { c.kind = "image", c.resourceId = "img", c.imageGeneration = 3; });
  owner_fragment a2 = a1;
  void SetUp() override {
    ASSERT_TRUE(s.bind_owner(a1, every_kind, 0).ok);
    a2.generation = 2;
    for (std::int32_t k = 1; k < 5; ++k) {
      ASSERT_TRUE(s.bind_owner(fragment(text(1, static_cast<char>('a' + k)), 1, {30 + k}), none, k).ok);
    }
    pending.pending_paints.push_back(paint("sp"));
    pending.resource_keys.assign(make_index_key("paint", "sp", 0), 1);
    pending.pending_images.push_back(image("si", 5));
    pending.resource_keys.assign(make_index_key("image-generation", "si", 5), 1);
    pending.resource_keys.assign(make_index_key("image-latest", "si", 0), 1);
  }
};

struct row {
  std::uint8_t kind;
  owner_fragment f;
  resource_delta d;
  text message;                                      // empty: admitted; {0} is glyph b's identity
  std::vector<std::uint32_t> counts = {};            // validations, comparisons, payload comparisons, accepted
  std::function<void(staging_state&)> overlay = {};  // staged on this overlay instead, not applied
  std::uint32_t expected = 5;
};

}  // namespace

TEST_F(owner_admission, ResourceRulesAndOwnerRefusalsComeInOrderAndChangeNothing) {
  const glyph_alpha_record b = glyph('b');
  const owner_fragment n = fragment("n", 1, {100});
  const resource_delta q{"main", {paint("q")}, {}, {}, {}, {}}, img4{"main", {}, {image("img", 4)}, {}, {}, {}};
  // 65536 stored resources, of every kind: accepted unchanged, counted; one more is too many.
  resource_delta copies = every_kind, too_many = every_kind;
  copies.paints.resize(65532, paint("p")), too_many.paints.resize(65533, paint("p"));
  const std::uint32_t entries = s.entry_count(), payload = s.payload_total(), nodes = s.index_node_count();
  const auto refer = [&](const std::function<void(render_command_record&)>& change) { return first(n, change); };
  const text full = "retained resource store exceeds 65536 entries/commands or 64 MiB";
  // clang-format off
  std::vector<row> rows = {
    {1, n, P({paint("p")}), "", {0, 1, 0, 0}},
    {1, n, P({paint("sp")}), "", {0, 1, 0, 0}},
    {1, n, P({paint("n"), paint("n")}), "", {1, 1, 0, 1}},
    {1, n, P({paint("p", 999)}), "retained paint identity collision for p", {0, 1, 0, 0}},
    {1, n, P({paint("n"), paint("n", 11)}), "retained paint identity collision for n", {1, 1, 0, 1}},
    {1, n, P({paint("")}), "render paint requires a nonempty id", {1, 0, 0, 0}},
    {1, n, P({paint("n", 256)}), "render paint n requires RGBA channels from 0 through 255", {1, 0, 0, 0}},
    {1, n, P({paint("n", -1)}), "render paint n requires RGBA channels from 0 through 255", {1, 0, 0, 0}},
    {1, n, P({with(paint("n"), &paint_record::borderWidth, -1)}), "render paint n requires nonnegative radius and border width", {1, 0, 0, 0}},
    {1, n, P({with(paint("n"), &paint_record::opacity, 101)}), "render paint n requires opacity from 0 through 100", {1, 0, 0, 0}},
    {1, n, P({paint(text(257, 'x'))}), "retained paint id exceeds 256 bytes", {1, 0, 0, 0}},
    {1, n, P({paint(text(256, 'x'))}), "", {1, 0, 0, 1}},
    {1, n, I({image("img", 3)}), "", {0, 1, 1, 0}},
    {1, n, I({image("si", 5)}), "", {0, 1, 1, 0}},
    {1, n, I({image("img", 2)}), "retained image img generation regressed from 3 to 2", {0, 0, 0, 0}},
    {1, n, I({image("si", 4)}), "retained image si generation regressed from 5 to 4", {0, 0, 0, 0}},
    {1, n, I({with(image("img", 3), &render_image_record::payload, "00000000")}), "retained image identity collision for img@3", {0, 1, 1, 0}},
    {1, n, I({with(image("img", 4), &render_image_record::kind, "Image")}), "render image img requires kind=image, received Image", {1, 0, 0, 0}},
    {1, n, I({image("img", 4)}), "", {1, 0, 0, 1}},
    {1, n, I({image("j", 2), image("j", 0)}), "retained image j generation regressed from 2 to 0", {1, 0, 0, 1}},
    {1, n, I({image("j", 1), image("j", 0)}), "retained image j generation regressed from 1 to 0", {1, 0, 0, 1}},
    {1, n, I({image("j", 1), image("j", 1), image("j", 2)}), "", {2, 1, 1, 2}},
    {1, n, G({glyph('a')}), "", {0, 1, 1, 0}},
    {1, n, G({with(glyph('b'), &glyph_alpha_record::payload, "00"), with(b, &glyph_alpha_record::payload, "01")}), "retained glyph identity collision for {0}", {1, 1, 1, 1}},
    {1, n, G({glyph('B')}), "", {1, 0, 0, 1}},
    {1, n, G({with(b, &glyph_alpha_record::id, b.id.substr(1))}), "render glyph alpha resource requires a sha256 content identity", {1, 0, 0, 0}},
    {1, n, G({with(b, &glyph_alpha_record::id, b.id + "b")}), "render glyph alpha resource requires a sha256 content identity", {1, 0, 0, 0}},
    {1, n, G({with(b, &glyph_alpha_record::id, "sha255" + b.id.substr(6))}), "render glyph alpha resource requires a sha256 content identity", {1, 0, 0, 0}},
    {1, n, G({with(b, &glyph_alpha_record::source, "")}), "render glyph alpha resource {0} requires a source", {1, 0, 0, 0}},
    {1, n, G({with(b, &glyph_alpha_record::format, "a8")}), "render glyph alpha resource {0} format must be a8-unorm-hex", {1, 0, 0, 0}},
    {1, n, G({with(b, &glyph_alpha_record::height, 4097)}), "render glyph alpha resource {0} dimensions must be within 1..4096", {1, 0, 0, 0}},
    {1, n, G({glyph_alpha_record{b.id, 4096, 4096, 4096, 16777216, "a8-unorm-hex", "", "s"}}), "render glyph alpha resource {0} requires tightly packed rows within 512 KiB", {1, 0, 0, 0}},
    {1, n, G({with(b, &glyph_alpha_record::payload, "7g")}), "render glyph alpha resource {0} payload must be exact A8 hexadecimal data", {1, 0, 0, 0}},
    {1, n, C({with(clip("n"), &clip_record::x, -2000000)}), "", {1, 0, 0, 1}},
    {1, n, C({with(clip("c"), &clip_record::x, 1)}), "retained clip identity collision for c", {0, 1, 0, 0}},
    {1, n, C({clip(text(257, 'x'))}), "retained resource clip requires an id of 1..256 bytes", {1, 0, 0, 0}},
    {1, n, C({with(clip("n"), &clip_record::height, 0)}), "retained resource clip n requires positive bounds and a nonnegative radius", {1, 0, 0, 0}},
    {1, n, C({with(with(clip("n"), &clip_record::width, 1), &clip_record::height, 1)}), "", {1, 0, 0, 1}},
    {1, n, T({transform("identity")}), "render transform id identity is reserved for the built-in identity transform", {1, 0, 0, 0}},
    {1, n, T({transform(text(65, 't'))}), "render transform requires a nonempty id of at most 64 bytes", {1, 0, 0, 0}},
    {1, n, T({with(transform("t"), &transform_record::rotation, 1)}), "retained transform identity collision for t", {0, 1, 0, 0}},
    {1, n, T({with(transform("n"), &transform_record::translateY, -1000001)}), "render transform n translation must be within -1000000..1000000", {1, 0, 0, 0}},
    {1, n, T({with(transform("n"), &transform_record::scaleX, 10001)}), "render transform n scale must be within 1..10000 percent", {1, 0, 0, 0}},
    {1, n, T({with(with(transform("n"), &transform_record::scaleX, 1), &transform_record::scaleY, 1)}), "", {1, 0, 0, 1}},
    {1, n, T({with(transform("n"), &transform_record::rotation, -360001)}), "render transform n rotation must be within -360000..360000 millidegrees", {1, 0, 0, 0}},
    {1, n, none, "retained resource store stale revision: expected 4, current 5", {}, {}, 4},
    {1, n, {"other", {}, {}, {}, {}, {}}, "retained resource delta surface does not match store"},
    {1, fragment("n", 0, {100}), none, "retained owner fragment requires bounded identity, positive generation, and source"},
    {1, fragment("n", 0, {100}), {"other", {}, {}, {}, {}, {}}, "retained resource delta surface does not match store"},
    {0, n, none, "retained resource owner n requires an initial binding"},
    {0, a1, none, "retained resource owner a requires a newer fragment generation"},
    {0, fragment("a", 2, {10, 20}), none, "retained resource owner a must preserve its exact command range"},
    {0, fragment("a", 2, {10, 15, 21}), none, "retained resource owner a must preserve its exact command range"},
    {0, first(a2, [](auto& c) { c.imageGeneration = 2; }), none, "retained resource owner a image img generation regressed from 3 to 2"},
    {0, first(a2, [](auto& c) { c.imageGeneration = 4; }), img4, ""},
    {0, first(a2, [](auto& c) { c.resourceId = "other", c.imageGeneration = 1; }), {"main", {}, {image("other", 1)}, {}, {}, {}}, ""},
    {1, fragment("a", 1, {200}), none, "retained resource owner a is already bound"},
    {1, fragment("n", 1, {20, 25}), none, "retained resource owner n command range overlaps a"},
    {1, fragment("n", 1, {21, 25}), none, ""},
    {1, fragment("n", 1, {5, 15, 6}), none, "retained resource owner n command range overlaps a"},
    {1, fragment("n", 1, {100, 101, 100}), none, "retained resource owner n command range overlaps n"},
    {1, fragment("n", 1, {5, 16, 6}), none, ""},
    {1, n, copies, ""},
    {1, n, too_many, "retained resource delta exceeds 65536 entries"},
    {1, n, {"main", {paint("q", -1), paint("p", 0)}, {image("img", 1)}, {}, {}, {}}, "render paint q requires RGBA channels from 0 through 255"},
    {1, n, q, "", {}, [&](auto& st) { st.pending_paints.resize(65536 - entries - 1); }},
    {1, n, q, full, {}, [&](auto& st) { st.pending_paints.resize(65536 - entries); }},
    // A derived store's own entry count and paint admission decide.
    {1, n, q, full, {}, [&](auto&) { s.phantom = 65536 - entries; }},
    {1, n, P({paint("veto")}), "vetoed"},
    {0, a2, img4, "", {}, [&](auto& st) { st.staged_payload = 67108864 - payload - 4; }},
    {0, a2, img4, full, {}, [&](auto& st) { st.staged_payload = 67108864 - payload - 3; }},
    {0, a2, none, full, {}, [&](auto& st) { st.staged_payload = 0xFFFFFFFFu; }},
    {1, n, q, "", {}, [&](auto& st) { st.staged_nodes = 200704 - nodes - 3; }},
    {0, a2, img4, "", {}, [&](auto& st) { st.staged_nodes = 200704 - nodes - 2; }},
    {1, n, q, "retained resource store exceeds 200704 index nodes", {}, [&](auto& st) { st.staged_nodes = 200704 - nodes - 2; }},
    {1, n, q, "retained resource store exceeds 200704 index nodes", {}, [&](auto& st) { st.staged_nodes = 0xFFFFFFFFu; }},
    {1, refer([](auto& c) { c.paintId = "zz"; }), none, "retained resource owner n references missing paint zz"},
    {1, refer([](auto& c) { c.kind = "image", c.resourceId = "img", c.imageGeneration = 9; }), none, "retained resource owner n references missing image img@9"},
    {1, refer([](auto& c) { c.kind = "glyphAlpha", c.resourceId = "g"; }), none, "retained resource owner n references missing glyph g"},
    {1, refer([](auto& c) { c.kind = "glyphAlpha", c.resourceId = "g", c.geometryFlag = true; }), none, ""},
    {1, refer([](auto& c) { c.clipId = "zz"; }), none, "retained resource owner n references missing clip zz"},
    {1, refer([](auto& c) { c.transformId = "zz"; }), none, "retained resource owner n references missing transform zz"},
    {1, refer([](auto& c) { c.transformId = "identity"; }), none, ""},
    {1, refer([](auto& c) { c.kind = "glyphAlpha", c.resourceId = glyph('a').id, c.paintId = "p", c.clipId = "c", c.transformId = "t"; }), none, ""},
  };
  // clang-format on
  for (auto channel : {&paint_record::red, &paint_record::green, &paint_record::blue, &paint_record::alpha}) {
    for (const std::int32_t v : {-1, 0, 255, 256}) {
      const text message = v == 0 || v == 255 ? "" : "render paint n requires RGBA channels from 0 through 255";
      rows.push_back({1, n, P({with(paint("n"), channel, v)}), message, {1, 0, 0, message.empty()}});
    }
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& [kind, f, d, message, counts, overlay, expected] = rows[i];
    const text before = s.fingerprint(), want = message.empty() ? "ok" : format_placeholders(message, {b.id});
    staging_state staging = overlay ? make_staging_state(1) : pending;
    if (overlay) overlay(staging);
    const preflight_result r = s.stage_owner_delta(f, d, expected, kind, staging);
    s.phantom = 0;
    EXPECT_EQ(r.message, want) << i;
    if (!counts.empty()) {
      EXPECT_EQ((std::vector{r.validations, r.explicit_comparisons, r.payload_comparisons,
                             static_cast<std::uint32_t>(r.accepted_paints.size() + r.accepted_images.size() +
                                                        r.accepted_glyphs.size() + r.accepted_clips.size() +
                                                        r.accepted_transforms.size())}),
                counts)
          << i;
    }
    if (!overlay && counts.empty() && !message.empty()) {  // refused alike with and without applying, with no counts
      EXPECT_EQ(fields(kind ? s.preflight_bind(f, d, expected) : s.preflight_update(f, d, expected)),
                std::tuple(false, 5u, 0u, 0u, 0u, message))
          << i;
      EXPECT_EQ(fields(kind ? s.bind_owner(f, d, expected) : s.update_owner(f, d, expected)),
                std::tuple(false, 5u, 0u, 0u, 0u, message))
          << i;
    }
    EXPECT_EQ(s.fingerprint(), before) << i;
  }
  // Admitted: an apply cut short at any of its write steps, or by a replaced
  // apply_delta_rows throwing after it wrote everything (in either item of a
  // batch), leaves the store as it was, and the next attempt applies what the
  // preflight said, once.
  owner_fragment n2 = fragment("n", 1, {100, 101}), a3 = first(a2, [](auto&c) { c.imageGeneration = 4; });
  n2.commands[0].paintId = "q", n2.commands[1].clipId = "c", a3.commands[1].paintId = "q";
  const resource_delta next{"main",       {paint("q")}, {image("img", 4), image("new", 1)},
                            {glyph('b')}, {clip("d")},  {transform("u")}};
  std::vector<owner_fragment> items{fragment("b", 2, {31}), fragment("c", 2, {32})};
  items[0].commands[0].paintId = "bp", items[1].commands[0].paintId = "bp", items[1].commands[0].clipId = "cc";
  const std::vector<resource_delta> item_deltas{P({paint("bp")}), C({clip("cc")})};
  const auto batch = [&](bool apply) {
    const auto prepared = s.prepare_candidate_batch(items, item_deltas, 7);
    if (apply) return s.commit_prepared_candidate_batch(prepared, items, item_deltas);
    return make_operation_result(prepared->is_admitted(), 7, prepared->validations(), prepared->explicit_comparisons(),
                                 prepared->payload_comparisons(), prepared->message());
  };
  const std::vector<std::tuple<std::function<operation_result(bool)>, int, int>> admissions = {
      // admit or only check, apply_delta_rows calls, write steps
      {[&](bool apply) { return apply ? s.bind_owner(n2, next, 5) : s.preflight_bind(n2, next, 5); }, 1, 19},
      {[&](bool apply) {
         return apply ? s.update_owner(a3, I({image("img", 5)}), 6) : s.preflight_update(a3, I({image("img", 5)}), 6);
       },
       1, 6},
      {batch, 2, 6},
  };
  for (const auto& [admit, applies, writes] : admissions) {
    operation_result checked = admit(false);
    ASSERT_TRUE(checked.ok) << checked.message;
    checked.revision += 1;
    for (int call = 1; call <= applies; ++call) {
      const text before = s.fingerprint();
      s.cut = call;
      EXPECT_THROW(admit(true), std::bad_alloc) << call;
      ASSERT_EQ(s.fingerprint(), before) << call;
    }
    for (int step = 1;; ++step) {
      const text before = s.fingerprint();
      s.countdown = step;
      try {
        EXPECT_EQ(fields(admit(true)), fields(checked));
        EXPECT_EQ(step, writes + 1);  // every write step was reached before
        s.countdown = 0;
        break;
      } catch (const std::bad_alloc&) {
        ASSERT_EQ(s.fingerprint(), before) << step;
      }
    }
  }
  EXPECT_EQ(s.bind_owner(n, q, 7).message, "retained resource store stale revision: expected 7, current 8");
  EXPECT_EQ(s.bind_owner(n, q, 8).message, "retained resource owner n is already bound");
  s.close_store();
  open_store invalid("");
  for (open_store* t : {static_cast<open_store*>(&s), &invalid})
    EXPECT_EQ(t->bind_owner(n, none, 99).message, "retained resource store is not open");
}

// Accepted resources resolve to the first position of their identity, as a
// walk of the list from its start would find them: inside an admission, whose
// lists only grow, through the side index, also after a list shrank; outside
// one also after an entry took another identity in place.
TEST_F(owner_admission, AcceptedResourcesResolveToTheirFirstPosition) {
  for (const bool staging : {true, false}) {
    std::mt19937 rng(7);
    preflight_result r = make_preflight_result("o", 1);
    std::optional<accepted_positions::staging_scope> scope;
    if (staging) scope.emplace(r.accepted_index);
    for (int step = 0; step < 300; ++step) {
      if (step == 150) r.accepted_paints.resize(20);
      if (!staging && step % 50 == 0 && !r.accepted_paints.empty()) r.accepted_paints[0] = paint("changed in place");
      if (!staging && step % 50 == 25) r.accepted_paints.front().id = r.accepted_paints.back().id;
      const text id = std::to_string(rng() % 40);
      s.admit_paint(r, pending, paint(id, static_cast<std::int32_t>(rng() % 2)));
      s.admit_image(r, pending, image(id, static_cast<std::int32_t>(rng() % 3)));
      for (int k = 0; k < 40; ++k) {
        const auto& list = r.accepted_paints;
        const auto hit = std::find_if(list.begin(), list.end(), [&](auto& p) { return p.id == std::to_string(k); });
        ASSERT_EQ(s.resolve_paint_reference(r, pending, std::to_string(k)),
                  hit == list.end() ? -1 : hit - list.begin() + 2);
      }
    }
    for (std::size_t k = 0; k < r.accepted_images.size(); ++k) {
      EXPECT_EQ(s.resolve_image_reference(r, pending, r.accepted_images[k].id, r.accepted_images[k].generation), k + 2);
    }
  }
}

namespace {

// Owner n at `generation`: `commands` commands from sequence 16n, the first
// `images` of them drawing a new placeholder image each, which the delta brings.
std::pair<owner_fragment, resource_delta> owner(std::int32_t n, std::int32_t generation, int commands, int images) {
  std::vector<std::int32_t> sequences;
  for (int j = 0; j < commands; ++j) sequences.push_back(16 * n + j);
  std::pair<owner_fragment, resource_delta> o{fragment("o" + std::to_string(n), generation, sequences), none};
  for (int j = 0; j < images; ++j) {
    const text id = "i" + std::to_string(16 * n + j);
    o.second.images.push_back(
        {id, "image", 1, 0, 0, 0, "bgra8-hex", "srgb", "straight", "loading", false, id, "", "s"});
    if (j < commands) o.first.commands[j].kind = "image", o.first.commands[j].resourceId = id;
    if (j < commands) o.first.commands[j].imageGeneration = 1;
  }
  return o;
}

}  // namespace

// One store filled through real admissions to 65536 entries, 4096 owners and
// 65535 commands: each limit passes at its value and refuses one past it, and
// the full store still answers its lookups and admits updates that fit. (The
// index node limit is met first only on an overlay: see the refusals above.)
TEST(StoreLimits, EntriesCommandsAndOwnersAtFullSize) {
  retained_resource_store s("main");
  const auto admit = [&](const auto& o, bool bind = true) {
    return (bind ? s.bind_owner(o.first, o.second, s.current_revision())
                 : s.update_owner(o.first, o.second, s.current_revision()))
        .message;
  };
  const text full = "retained resource store exceeds 65536 entries/commands or 64 MiB";
  for (std::int32_t n = 0; n < 4095; ++n) ASSERT_EQ(admit(owner(n, 1, 16, 16)), "ok") << n;
  EXPECT_EQ(admit(owner(4095, 1, 15, 17)), full);  // one entry too many
  EXPECT_EQ(admit(owner(4095, 1, 17, 0)), full);   // one command too many
  ASSERT_EQ(admit(owner(4095, 1, 15, 16)), "ok");
  EXPECT_EQ(std::tuple(s.entry_count(), s.owner_count(), s.command_total(), s.index_node_count()),
            std::tuple(65536u, 4096u, 65535u, 200703u));
  // One command more meets the owner limit (the command limit exactly), two the command limit.
  EXPECT_EQ(admit(owner(5000, 1, 1, 0)), "retained resource store exceeds 4096 owners");
  EXPECT_EQ(admit(owner(5000, 1, 2, 0)), full);
  auto newer = owner(7, 2, 16, 16);
  newer.second.paints.push_back(paint("p"));
  EXPECT_EQ(admit(newer, false), full);
  newer.second.paints.clear();
  EXPECT_EQ(admit(newer, false), "ok");
  // The full store still answers its lookups.
  const owner_fragment last = owner(4095, 1, 15, 16).first;
  EXPECT_EQ(std::tuple(s.find_owner_binding("o4095"), s.find_command_row(last.commands.back()),
                       s.find_command_owner(last.commands.front()), s.owner_command_image_row(4095, 14),
                       s.find_command_row(newer.first.commands[3]), s.owner_generation(7)),
            std::tuple(4095, 65534, 4095, 65534, 115, 2u));
}
