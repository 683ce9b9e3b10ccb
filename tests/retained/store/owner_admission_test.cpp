// Owner admission through the direct binds, updates and preflights: its
// refusals in order, the store limits at and one past their values, and an
// apply cut short by an exception.
#include <gtest/gtest.h>

#include <functional>
#include <new>

#include "tests/retained/store/store_test_support.hpp"

using namespace store_test;

namespace {

// The fragment with its first command changed.
owner_fragment first(owner_fragment f, const std::function<void(render_command_record&)>& change) {
  change(f.commands[0]);
  return f;
}

// Owner a holds 10, 15 and 20, drawing img@3 at 10; b to e follow at 31..34,
// so the store is at revision 5.
struct owner_admission : ::testing::Test {
  open_store s{"main"};
  const owner_fragment a1 = first(fragment("a", 1, {10, 15, 20}),
                                  [](auto& c) { c.kind = "image", c.resourceId = "img", c.imageGeneration = 3; });
  owner_fragment a2 = a1;
  void SetUp() override {
    ASSERT_TRUE(s.bind_owner(a1, every_kind, 0).ok);
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
  std::function<void(staging_state&)> overlay = {};  // staged on this overlay, not applied
  std::uint32_t expected = 5;
};

}  // namespace

TEST_F(owner_admission, RefusalsComeInOrderAndChangeNothing) {
  const owner_fragment n = fragment("n", 1, {100});
  const resource_delta q{"main", {paint("q")}, {}, {}, {}, {}}, img4{"main", {}, {image("img", 4)}, {}, {}, {}};
  // 65536 stored resources, of every kind: accepted unchanged, counted; one more is too many.
  resource_delta copies = every_kind, too_many = every_kind;
  copies.paints.resize(65532, paint("p")), too_many.paints.resize(65533, paint("p"));
  const std::uint32_t entries = s.entry_count(), payload = s.payload_total(), nodes = s.index_node_count();
  const auto refer = [&](const std::function<void(render_command_record&)>& change) { return first(n, change); };
  const text full = "retained resource store exceeds 65536 entries/commands or 64 MiB";
  // clang-format off
  const std::vector<row> rows = {
    {1, n, none, "retained resource store stale revision: expected 4, current 5", {}, 4},
    {1, n, {"other", {}, {}, {}, {}, {}}, "retained resource delta surface does not match store"},
    {1, fragment("n", 0, {100}), none, "retained owner fragment requires bounded identity, positive generation, and source"},
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
    {1, n, q, "", [&](auto& st) { st.pending_paints.resize(65536 - entries - 1); }},
    {1, n, q, full, [&](auto& st) { st.pending_paints.resize(65536 - entries); }},
    {0, a2, img4, "", [&](auto& st) { st.staged_payload = 67108864 - payload - 4; }},
    {0, a2, img4, full, [&](auto& st) { st.staged_payload = 67108864 - payload - 3; }},
    {0, a2, none, full, [&](auto& st) { st.staged_payload = 0xFFFFFFFFu; }},
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
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& [kind, f, d, message, overlay, expected] = rows[i];
    const text before = s.fingerprint();
    staging_state staging = make_staging_state(1);
    if (overlay) overlay(staging);
    EXPECT_EQ(s.stage_owner_delta(f, d, expected, kind, staging).message, message.empty() ? "ok" : message) << i;
    if (!overlay && !message.empty()) {  // refused alike with and without applying, with no counts
      EXPECT_EQ(fields(kind ? s.preflight_bind(f, d, expected) : s.preflight_update(f, d, expected)),
                std::tuple(false, 5u, 0u, 0u, 0u, message))
          << i;
      EXPECT_EQ(fields(kind ? s.bind_owner(f, d, expected) : s.update_owner(f, d, expected)),
                std::tuple(false, 5u, 0u, 0u, 0u, message))
          << i;
    }
    EXPECT_EQ(s.fingerprint(), before) << i;
  }
  // Admitted: the bind does what its preflight said, once.
  const operation_result checked = s.preflight_bind(n, q, 5), bound = s.bind_owner(n, q, 5);
  EXPECT_EQ(fields(checked), std::tuple(true, 5u, 1u, 0u, 0u, "ok"));
  EXPECT_EQ(fields(bound), std::tuple(true, 6u, 1u, 0u, 0u, "ok"));
  EXPECT_EQ(s.bind_owner(n, q, 5).message, "retained resource store stale revision: expected 5, current 6");
  EXPECT_EQ(s.bind_owner(n, q, 6).message, "retained resource owner n is already bound");
  s.close_store();
  open_store invalid("");
  for (open_store* t : {&s, &invalid})
    EXPECT_EQ(t->bind_owner(n, none, 99).message, "retained resource store is not open");
}

namespace {

// Reports fewer entries than it holds when asked to: with the entry limit out
// of the way, the index node limit is the one an admission meets first.
struct hidden_entries_store : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::uint32_t entry_count() override { return retained_resource_store::entry_count() - hidden; }
  std::uint32_t hidden = 0;
};

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
// the full store still answers its lookups and admits updates that fit.
TEST(StoreLimits, EveryLimitAtFullSize) {
  hidden_entries_store s("main");
  const auto bind = [&](const auto& o) { return s.bind_owner(o.first, o.second, s.current_revision()).message; };
  const auto update = [&](const auto& o) {
    return s.preflight_update(o.first, o.second, s.current_revision()).message;
  };
  const text full = "retained resource store exceeds 65536 entries/commands or 64 MiB";
  for (std::int32_t n = 0; n < 4095; ++n) ASSERT_EQ(bind(owner(n, 1, 16, 16)), "ok") << n;
  EXPECT_EQ(bind(owner(4095, 1, 15, 17)), full);  // one entry too many
  EXPECT_EQ(bind(owner(4095, 1, 17, 0)), full);   // one command too many
  ASSERT_EQ(bind(owner(4095, 1, 15, 16)), "ok");
  EXPECT_EQ(std::tuple(s.entry_count(), s.owner_count(), s.command_total(), s.index_node_count()),
            std::tuple(65536u, 4096u, 65535u, 200703u));
  // One command more meets the owner limit (the command limit exactly), two the command limit.
  EXPECT_EQ(bind(owner(5000, 1, 1, 0)), "retained resource store exceeds 4096 owners");
  EXPECT_EQ(bind(owner(5000, 1, 2, 0)), full);
  auto newer = owner(7, 2, 16, 16);
  newer.second.paints.push_back(paint("p"));
  EXPECT_EQ(update(newer), full);
  s.hidden = 1;  // one index node short of the limit: a paint fits, an image of a new id (two nodes) does not
  EXPECT_EQ(update(newer), "ok");
  newer.second.paints.clear(), newer.second.images.push_back(image("new", 1));
  EXPECT_EQ(update(newer), "retained resource store exceeds 200704 index nodes");
  s.hidden = 0;
  newer.second.images.pop_back();
  EXPECT_TRUE(s.update_owner(newer.first, newer.second, s.current_revision()).ok);
  // The full store still answers its lookups.
  const owner_fragment last = owner(4095, 1, 15, 16).first;
  EXPECT_EQ(std::tuple(s.find_owner_binding("o4095"), s.find_command_row(last.commands.back()),
                       s.find_command_owner(last.commands.front()), s.owner_command_image_row(4095, 14),
                       s.find_command_row(newer.first.commands[3]), s.owner_generation(7)),
            std::tuple(4095, 65534, 4095, 65534, 115, 2u));
}

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

TEST(ApplyDelta, AnApplyCutShortLeavesTheStoreAsItWas) {
  owner_fragment a = fragment("a", 1, {1, 2, 3}), b = fragment("b", 1, {4, 5, 6});
  a.commands[0].paintId = "p", b.commands[0].paintId = "q", b.commands[1].clipId = "c";
  a.commands[1].kind = "image", a.commands[1].resourceId = "img", a.commands[1].imageGeneration = 3;
  owner_fragment a2 = a;
  a2.generation = 2, a2.commands[0].paintId = "q", a2.commands[1].resourceId = "new",
  a2.commands[1].imageGeneration = 1;
  const resource_delta next{"main",       {paint("q")}, {image("img", 4), image("new", 1)},
                            {glyph('b')}, {clip("d")},  {transform("u")}};
  for (const bool bind : {true, false}) {
    for (int n = 1;; ++n) {
      failing_store s("main");
      ASSERT_TRUE(s.bind_owner(a, every_kind, 0).ok);
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
