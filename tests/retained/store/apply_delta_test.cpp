#include <gtest/gtest.h>

#include <array>
#include <map>
#include <new>
#include <random>

#include "tests/retained/store/store_test_support.hpp"

using namespace store_test;

namespace {

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
};

}  // namespace

TEST(apply_delta, AnApplyCutShortLeavesTheStoreAsItWas) {
  owner_fragment a = fragment("a", 1, {1, 2, 3}), b = fragment("b", 1, {4, 5, 6});
  a.commands[0].paintId = "p", b.commands[0].paintId = "q", b.commands[1].clipId = "c";
  a.commands[1].kind = "image", a.commands[1].resourceId = "img", a.commands[1].imageGeneration = 1;
  owner_fragment a2 = a;
  a2.generation = 2, a2.commands[0].paintId = "q", a2.commands[1].resourceId = "new";
  const resource_delta first{"main", {paint("p")}, {image("img", 1)}, {glyph('a')}, {clip("c")}, {transform("t")}};
  const resource_delta next{"main",       {paint("q")}, {image("img", 2), image("new", 1)},
                            {glyph('b')}, {clip("d")},  {transform("u")}};
  for (const bool bind : {true, false}) {
    for (int n = 1;; ++n) {
      failing_store s("main");
      ASSERT_TRUE(s.bind_owner(a, first, 0).ok);
      const text before = s.fingerprint();
      s.countdown = n;
      const auto admit = [&] { return bind ? s.bind_owner(b, next, 1) : s.update_owner(a2, next, 1); };
      try {
        EXPECT_TRUE(admit().ok);
        EXPECT_GT(n, 10);  // every write step was reached before
        break;
      } catch (const std::bad_alloc&) {
        ASSERT_EQ(s.fingerprint(), before) << n;
        s.countdown = 0;
        EXPECT_TRUE(admit().ok) << n;
      }
    }
  }
}

// After every bind or update of a random sequence, each command's resolved
// rows read back the very resources that its references name, the keys and
// totals add up, and the counters went to the totals: the probes to the index
// probe total only, as a twin that only writes the rows shows.
TEST(apply_delta, ResolvedRowsNameTheReferencedResources) {
  open_store store("main"), twin("main");
  std::mt19937 rng(11);
  std::map<text, owner_fragment> bound;
  std::vector<text> known;  // ids of stored paints, clips, transforms and images at generation 1
  std::uint32_t commands = 0, probes = 0, validations = 0, comparisons = 0, payload_comparisons = 0;
  for (std::uint32_t step = 0; step < 60; ++step) {
    const bool update = !bound.empty() && rng() % 3 == 0;
    owner_fragment f = update ? std::next(bound.begin(), rng() % bound.size())->second
                              : fragment("o" + std::to_string(step), 1, std::vector<std::int32_t>(1 + rng() % 3));
    f.generation += update;
    for (std::size_t j = 0; j < f.commands.size() && !update; ++j) f.commands[j].sequence = step * 8 + j;
    commands += update ? 0 : f.commands.size();
    resource_delta d = none;
    for (std::uint32_t k = rng() % 4; k > 0; --k) {
      const text& id = known.emplace_back(std::to_string(step) + "." + std::to_string(k));
      d.paints.push_back(paint(id)), d.clips.push_back(clip(id)), d.transforms.push_back(transform(id));
      d.images.push_back(image(id, 1));
    }
    if (!known.empty() && rng() % 2 == 0) {  // already stored
      const text& id = known[rng() % known.size()];
      d.paints.push_back(paint(id)), d.images.push_back(image(id, 1));
    }
    for (render_command_record& c : f.commands) {
      const auto any = [&] { return known.empty() ? text() : known[rng() % known.size()]; };
      c.paintId = any(), c.clipId = any(), c.transformId = any(), c.resourceId = any();
      c.kind = c.resourceId.empty() ? "rect" : "image", c.imageGeneration = !c.resourceId.empty();
    }
    const operation_result r = update ? store.update_owner(f, d, step) : store.bind_owner(f, d, step);
    const preflight_result t = twin.stage_owner_admission(f, d, 0, !update);
    twin.apply_delta_rows(t, !update);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(std::tuple(r.validations, r.explicitComparisons, r.payloadComparisons),
              std::tuple(t.validations, t.explicit_comparisons, t.payload_comparisons));
    probes += t.index_probes, validations += r.validations, comparisons += r.explicitComparisons,
        payload_comparisons += r.payloadComparisons;
    const auto n = static_cast<std::uint32_t>(known.size());
    bound[f.id] = f;
    EXPECT_EQ(
        (std::array{store.index_probe_total() - twin.index_probe_total(), store.validation_total(),
                    store.explicit_comparison_total(), store.payload_comparison_total(), store.index_node_count(),
                    store.command_total(), store.payload_total(), store.entry_count(), store.admission_total()}),
        (std::array{probes, validations, comparisons, payload_comparisons,
                    5 * n + commands + static_cast<std::uint32_t>(bound.size()), commands, 4 * n, 4 * n, step + 1}));
    for (const auto& [id, fragment] : bound) {
      const std::int32_t o = store.find_owner_binding(id);
      ASSERT_EQ(store.owner_generation(o), static_cast<std::uint32_t>(fragment.generation));
      for (std::size_t j = 0; j < fragment.commands.size(); ++j) {
        const render_command_record& c = fragment.commands[j];
        const auto row = [&](auto get) { return (store.*get)(o, static_cast<std::int32_t>(j)); };
        const render_image_record i = store.read_image_row(row(&retained_resource_store::owner_command_image_row));
        EXPECT_EQ(std::tuple(store.read_paint_row(row(&retained_resource_store::owner_command_paint_row)).id,
                             store.read_clip_row(row(&retained_resource_store::owner_command_clip_row)).id,
                             store.read_transform_row(row(&retained_resource_store::owner_command_transform_row)).id,
                             i.id, i.generation),
                  std::tuple(c.paintId, c.clipId, c.transformId, c.resourceId, c.imageGeneration));
        EXPECT_EQ(store.command_owner(store.index_find_key(make_index_key("command-sequence", "", c.sequence))), o);
      }
    }
  }
}
