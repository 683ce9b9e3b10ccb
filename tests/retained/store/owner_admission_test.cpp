#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "tests/retained/store/store_test_support.hpp"

using namespace store_test;

namespace {

// The fragment with its first command changed.
owner_fragment first(owner_fragment f, std::function<void(render_command_record&)> change) {
  change(f.commands[0]);
  return f;
}
resource_delta edited(std::function<void(resource_delta&)> change) {
  resource_delta d = none;
  change(d);
  return d;
}

// Owner a holds 10, 15 and 20, drawing img@3 at 10; b to e follow at 31..34,
// so the store is at revision 5.
struct owner_admission : ::testing::Test {
  open_store s{"main"};
  const owner_fragment a1 = first(fragment("a", 1, {10, 15, 20}),
                                  [](auto& c) { c.kind = "image", c.resourceId = "img", c.imageGeneration = 3; });
  owner_fragment a2 = a1;
  void SetUp() override {
    const resource_delta stored{"main", {paint("p")}, {image("img", 3)}, {glyph('a')}, {clip("c")}, {transform("t")}};
    ASSERT_TRUE(s.bind_owner(a1, stored, 0).ok);
    a2.generation = 2;
    for (std::int32_t k = 1; k < 5; ++k) {
      ASSERT_TRUE(s.bind_owner(fragment(text(1, static_cast<char>('a' + k)), 1, {30 + k}), none, k).ok);
    }
  }
};

struct row {
  std::uint8_t kind;
  owner_fragment f;
  resource_delta d;
  text message;                                      // empty: admitted
  std::function<void(staging_state&)> overlay = {};  // staged on this overlay instead of a fresh one
  std::uint32_t expected = 5;
};

}  // namespace

TEST_F(owner_admission, RefusalsComeInOrderAndChangeNothing) {
  const owner_fragment n = fragment("n", 1, {100});
  const resource_delta q = edited([](auto&d) { d.paints = {paint("q")}; }),
                       img4 = edited([](auto&d) { d.images = {image("img", 4)}; });
  // 65536 stored resources, of every kind: accepted unchanged, counted.
  const resource_delta copies = edited([](auto& d) {
    d = {"main", std::vector(65532, paint("p")), {image("img", 3)}, {glyph('a')}, {clip("c")}, {transform("t")}};
  });
  const std::uint32_t entries = s.entry_count(), payload = s.payload_total(), nodes = s.index_node_count();
  const auto refer = [&](std::function<void(render_command_record&)> change) { return first(n, change); };
  // clang-format off
  const std::vector<row> rows = {
    {1, n, none, "retained resource store stale revision: expected 4, current 5", {}, 4},
    {1, n, edited([](auto& d) { d.surface = "other"; }), "retained resource delta surface does not match store"},
    {1, fragment("n", 0, {100}), none, "retained owner fragment requires bounded identity, positive generation, and source"},
    {0, n, none, "retained resource owner n requires an initial binding"},
    {0, a1, none, "retained resource owner a requires a newer fragment generation"},
    {0, fragment("a", 2, {10, 20}), none, "retained resource owner a must preserve its exact command range"},
    {0, fragment("a", 2, {10, 15, 21}), none, "retained resource owner a must preserve its exact command range"},
    {0, first(a2, [](auto& c) { c.imageGeneration = 2; }), none, "retained resource owner a image img generation regressed from 3 to 2"},
    {0, first(a2, [](auto& c) { c.imageGeneration = 4; }), img4, ""},
    {0, first(a2, [](auto& c) { c.resourceId = "other", c.imageGeneration = 1; }), edited([](auto& d) { d.images = {image("other", 1)}; }), ""},
    {1, fragment("a", 1, {200}), none, "retained resource owner a is already bound"},
    {1, fragment("n", 1, {20, 25}), none, "retained resource owner n command range overlaps a"},
    {1, fragment("n", 1, {21, 25}), none, ""},
    {1, fragment("n", 1, {5, 15, 6}), none, "retained resource owner n command range overlaps a"},
    {1, fragment("n", 1, {100, 101, 100}), none, "retained resource owner n command range overlaps n"},
    {1, fragment("n", 1, {5, 16, 6}), none, ""},
    {1, n, copies, ""},
    {1, n, edited([&](auto& d) { d = copies, d.paints.push_back(paint("p")); }), "retained resource delta exceeds 65536 entries"},
    {1, n, edited([](auto& d) { d.paints = {paint("q", -1), paint("p", 0)}, d.images = {image("img", 1)}; }), "render paint q requires RGBA channels from 0 through 255"},
    {1, n, q, "", [&](auto& st) { st.pending_paints.resize(65536 - entries - 1); }},
    {1, n, q, "retained resource store exceeds 65536 entries/commands or 64 MiB", [&](auto& st) { st.pending_paints.resize(65536 - entries); }},
    {0, a2, img4, "", [&](auto& st) { st.staged_payload = 67108864 - payload - 4; }},
    {0, a2, img4, "retained resource store exceeds 65536 entries/commands or 64 MiB", [&](auto& st) { st.staged_payload = 67108864 - payload - 3; }},
    {0, a2, none, "retained resource store exceeds 65536 entries/commands or 64 MiB", [&](auto& st) { st.staged_payload = 0xFFFFFFFFu; }},
    {1, n, q, "", [&](auto& st) { st.staged_nodes = 200704 - nodes - 3; }},
    {1, n, q, "retained resource store exceeds 200704 index nodes", [&](auto& st) { st.staged_nodes = 200704 - nodes - 2; }},
    {1, n, q, "retained resource store exceeds 200704 index nodes", [&](auto& st) { st.staged_nodes = 0xFFFFFFFFu; }},
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
  const auto outcome = [](const operation_result& o) {
    return std::tuple(o.ok, o.message, o.revision, o.validations, o.explicitComparisons, o.payloadComparisons);
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const row& r = rows[i];
    const text before = s.fingerprint();
    if (r.overlay) {
      staging_state staging = make_staging_state(1);
      r.overlay(staging);
      const preflight_result staged = s.stage_owner_delta(r.f, r.d, r.expected, r.kind, staging);
      EXPECT_EQ(staged.message, r.message.empty() ? "ok" : r.message) << i;
      continue;
    }
    // A preflight answers what the operation does; a refused one reports no counts.
    const operation_result checked =
        r.kind ? s.preflight_bind(r.f, r.d, r.expected) : s.preflight_update(r.f, r.d, r.expected);
    EXPECT_EQ(checked.message, r.message.empty() ? "ok" : r.message) << i;
    if (!r.message.empty()) {
      const operation_result no = r.kind ? s.bind_owner(r.f, r.d, r.expected) : s.update_owner(r.f, r.d, r.expected);
      EXPECT_EQ(outcome(no), outcome(checked)) << i;
      EXPECT_EQ(outcome(no), std::tuple(false, r.message, 5u, 0u, 0u, 0u)) << i;
    }
    EXPECT_EQ(s.fingerprint(), before) << i;
  }
  // Admitted: the bind does what its preflight said, once.
  const operation_result checked = s.preflight_bind(n, q, 5), bound = s.bind_owner(n, q, 5);
  EXPECT_EQ(outcome(checked), std::tuple(true, "ok", 5u, bound.validations, 0u, 0u));
  EXPECT_EQ(outcome(bound), std::tuple(true, "ok", 6u, 1u, 0u, 0u));
  EXPECT_EQ(s.bind_owner(n, q, 5).message, "retained resource store stale revision: expected 5, current 6");
  EXPECT_EQ(s.bind_owner(n, q, 6).message, "retained resource owner n is already bound");
  s.close_store();
  open_store invalid("");
  for (open_store* t : {&s, &invalid}) {
    EXPECT_EQ(t->bind_owner(n, none, 99).message, "retained resource store is not open");
  }
}

// 4096 owners holding 65535 commands: one command more meets the owner limit
// (the command limit exactly), two the command limit, and an update passes.
// All owners but the first are written straight into the owner table.
TEST(owner_admission_limits, OwnersAndCommandsAtTheirLimits) {
  open_store s("main");
  ASSERT_TRUE(s.bind_owner(fragment("o", 1, {0, 1}), none, 0).ok);
  for (std::uint32_t k = 1; k < 4096; ++k) {
    owner_columns& o = s.owner_table;
    o.id.push_back(std::to_string(k)), o.generation.push_back(1), o.command_count.push_back(16);
    o.first_sequence.push_back(k * 16), o.last_sequence.push_back(k * 16 + 15), o.first_command_row.push_back(0);
  }
  s.commands = 65535;
  const text before = s.fingerprint();
  EXPECT_EQ(s.bind_owner(fragment("x", 1, {70000}), none, 1).message, "retained resource store exceeds 4096 owners");
  EXPECT_EQ(s.bind_owner(fragment("x", 1, {70000, 70001}), none, 1).message,
            "retained resource store exceeds 65536 entries/commands or 64 MiB");
  EXPECT_EQ(s.fingerprint(), before);
  EXPECT_TRUE(s.update_owner(fragment("o", 2, {0, 1}), none, 1).ok);
}
