// Prepared admissions: the commit's checks in their order, and a commit that
// leaves the store exactly as the direct operation would.
#include <gtest/gtest.h>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

// Store, prepared admission, commit as a binding, fragment, delta, message.
using refusal =
    std::tuple<open_store*, std::shared_ptr<prepared_admission>, bool, owner_fragment, resource_delta, text>;

// Each refusal reports the store's revision, zero counters and its message, and changes nothing.
void expect_refused(const std::vector<refusal>& rows) {
  for (const auto& [store, prepared, bind, fragment, delta, message] : rows) {
    const text before = store->fingerprint(false) + std::to_string(store->current_revision());
    const operation_result got = bind ? store->commit_prepared_bind(prepared, fragment, delta)
                                      : store->commit_prepared_update(prepared, fragment, delta);
    EXPECT_EQ(fields(got), std::make_tuple(false, store->current_revision(), 0u, 0u, 0u, message));
    EXPECT_EQ(store->fingerprint(false) + std::to_string(store->current_revision()), before);
  }
}

TEST(PreparedAdmission, CommitChecksRunInOrder) {
  open_store store("main"), other("main");
  owner_fragment f = owner("card", 1, 10, 2);
  f.commands[0].paintId = "bg", f.commands[1].paintId = "fg";
  const resource_delta d = delta({paint("bg"), paint("fg")});
  const auto prepared = store.prepare_bind(f, d, 0);
  const auto rival = store.prepare_bind(owner("rival", 1, 20, 1), delta(), 0);
  const auto failed = store.prepare_bind(f, d, 7);
  std::shared_ptr<prepared_admission> orphan;
  {
    retained_resource_store gone("main");
    orphan = gone.prepare_bind(f, d, 0);
  }
  open_store later("main");  // made after the preparing store is gone; its token lives on in the orphan
  resource_delta opacity = d, swapped = d, added = d, elsewhere = d;
  opacity.paints[0].opacity = 50;
  std::swap(swapped.paints[0], swapped.paints[1]);
  added.paints.push_back(paint("extra"));
  elsewhere.surface = "elsewhere";
  owner_fragment reordered = f, moved = f;
  std::swap(reordered.commands[0], reordered.commands[1]);
  moved.auxValue = 1;
  const text belongs = "retained resource prepared admission belongs to another store";
  const text changed = "retained resource prepared admission inputs were changed";
  const text own = "retained resource store stale revision: expected 7, current 0";
  expect_refused({{&other, prepared, true, f, d, belongs},
                  {&later, orphan, true, f, d, belongs},
                  {&store, orphan, true, f, d, belongs},
                  {&store, nullptr, true, f, d, "retained resource prepared admission is missing"},
                  {&store, prepared, false, f, d, "retained resource prepared admission kind does not match commit"},
                  {&store, failed, true, f, d, own},
                  {&store, prepared, true, f, opacity, changed},
                  {&store, prepared, true, f, swapped, changed},
                  {&store, prepared, true, f, added, changed},
                  {&store, prepared, true, reordered, d, changed},
                  {&store, prepared, true, moved, d, changed}});
  // The refused object still commits with the prepared inputs; the surface name takes no part.
  const operation_result done = store.commit_prepared_bind(prepared, f, elsewhere);
  EXPECT_EQ(fields(done), std::make_tuple(true, 1u, prepared->validations(), 0u, 0u, text("ok")));
  EXPECT_EQ(store.find_owner_binding("card"), 0);
  expect_refused({{&store, prepared, false, f, d, "retained resource prepared admission was already consumed"},
                  {&other, prepared, true, f, d, belongs},
                  {&store, failed, true, f, d, own},
                  {&store, rival, true, owner("rival", 1, 20, 1), delta(),
                   "retained resource prepared admission is stale: expected 0, current 1"}});
}

TEST(PreparedAdmission, CommitLeavesTheStoreAsTheDirectOperationWould) {
  open_store direct("main"), prepared("main");
  owner_history history;
  for (int step = 0; step < 40; ++step) {
    const int owners = static_cast<int>(history.generations.size());
    const bool bind = owners == 0 || (owners < 20 && history.pick(3) == 0);
    const auto [f, d] = history.next(bind ? owners : history.pick(owners));
    const std::uint32_t revision = direct.current_revision();
    const operation_result want = bind ? direct.bind_owner(f, d, revision) : direct.update_owner(f, d, revision);
    ASSERT_TRUE(want.ok) << want.message;
    const text before = prepared.fingerprint(false);
    const std::uint32_t probes = prepared.index_probe_total();
    const auto p = bind ? prepared.prepare_bind(f, d, revision) : prepared.prepare_update(f, d, revision);
    EXPECT_EQ(prepared.fingerprint(false), before);
    EXPECT_EQ(prepared.index_probe_total(), probes);
    const operation_result got =
        bind ? prepared.commit_prepared_bind(p, f, d) : prepared.commit_prepared_update(p, f, d);
    EXPECT_EQ(fields(got), fields(want));
    EXPECT_EQ(prepared.fingerprint(false), direct.fingerprint(false));
    EXPECT_EQ(prepared.store_diagnostics_text(), direct.store_diagnostics_text());
    EXPECT_EQ(prepared.index_probe_total(), direct.index_probe_total());
  }
}

TEST(PreparedAdmission, RebuildingNeverReadsPastTheCapturedRows) {
  open_store store("main");
  owner_fragment f = owner("card", 1, 10, 2);
  f.commands[1].paintId = "bg";
  const auto admitted = store.prepare_bind(f, delta({paint("bg")}), 0);
  const auto refused = store.prepare_bind(f, delta(), 0);  // fails at the second command's paint
  ASSERT_TRUE(admitted->is_admitted() && !refused->is_admitted());
  for (const auto& p : {admitted, refused}) {
    const preflight_result r = p->staged_admission(owner("card", 1, 10, 5), delta());
    const resolved_row_lists& rows = r.owner.resolved_rows;
    EXPECT_EQ(std::make_tuple(r.admitted != 0, r.message, r.owner.commands.size()),
              std::make_tuple(p->is_admitted(), p->message(), std::size_t{5}));
    for (const auto* list : {&rows.image, &rows.glyph, &rows.clip, &rows.transform}) {
      EXPECT_EQ(*list, std::vector<std::int32_t>(5, -1));
    }
    EXPECT_EQ(rows.paint, (std::vector<std::int32_t>{-1, p == admitted ? 0 : -1, -1, -1, -1}));
  }
}

}  // namespace
