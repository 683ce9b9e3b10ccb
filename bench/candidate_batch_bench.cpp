// A candidate batch of 4096 owner updates (16 commands each, two new paints
// per item, one paint of the item before) against a store of 4096 bound
// owners: its prepare and its commit, beside the same 4096 updates made one by
// one with update_owner on an identical store.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "retained/store/candidate_batch.hpp"

namespace {

using namespace orvi;
using clock_type = std::chrono::steady_clock;

constexpr int OWNERS = 4096;
constexpr int COMMANDS = 16;

paint_record paint(const text& id) { return {id, 10, 20, 30, 255, 4, 1, 100}; }

owner_fragment fragment(int owner, int generation) {
  const text id = "owner-" + std::to_string(owner);
  owner_fragment f{id, generation, 0, 0, 0, 100, 100, 0, 0, 100, 100, {"k1", "k2", "k3", "k4", "k5", "src"}, {}, "b"};
  for (int i = 0; i < COMMANDS; ++i) {
    render_command_record c;
    c.sequence = owner * COMMANDS + i, c.owner = id, c.kind = "rect", c.geometry[0] = i, c.geometry[1] = generation;
    c.paintId = "base-" + std::to_string(owner);
    f.commands.push_back(c);
  }
  return f;
}

struct workload {
  std::vector<owner_fragment> fragments;
  std::vector<resource_delta> deltas;
};

// Generation 2 of every owner: two new paints, and a paint the item before brought.
const workload& updates() {
  static const workload w = [] {
    workload u;
    for (int j = 0; j < OWNERS; ++j) {
      owner_fragment f = fragment(j, 2);
      const text a = "new-a-" + std::to_string(j), b = "new-b-" + std::to_string(j);
      f.commands[0].paintId = a, f.commands[1].paintId = b;
      if (j > 0) f.commands[2].paintId = "new-a-" + std::to_string(j - 1);
      u.fragments.push_back(std::move(f));
      u.deltas.push_back({"main", {paint(a), paint(b)}, {}, {}, {}, {}});
    }
    return u;
  }();
  return w;
}

std::unique_ptr<retained_resource_store> bound_store() {
  auto store = std::make_unique<retained_resource_store>("main");
  for (int j = 0; j < OWNERS; ++j) {
    const resource_delta d{"main", {paint("base-" + std::to_string(j))}, {}, {}, {}, {}};
    store->bind_owner(fragment(j, 1), d, store->current_revision());
  }
  return store;
}

// Captures the bucket count of the staging the batch builds.
struct bucket_spy : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::uint32_t buckets = 0;
  preflight_result stage_owner_delta(owner_fragment f, resource_delta d, std::uint32_t revision, std::uint8_t kind,
                                     staging_state& staging) override {
    buckets = staging.resource_keys.bucket_count();
    return retained_resource_store::stage_owner_delta(std::move(f), std::move(d), revision, kind, staging);
  }
};

double ms_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

// Iteration time is the batch's prepare plus commit; the counters give each
// part, the direct updates and the ratio of the batch to them.
void BM_BatchOf4096Updates(benchmark::State& state) {
  const workload& w = updates();
  double prepare_ms = 0, commit_ms = 0, direct_ms = 0;
  double staging_probes = 0;
  for (auto _ : state) {
    auto batched = bound_store();
    auto direct = bound_store();
    const std::uint32_t revision = batched->current_revision();

    auto start = clock_type::now();
    const auto batch = batched->prepare_candidate_batch(w.fragments, w.deltas, revision);
    const double prepare = ms_since(start);
    start = clock_type::now();
    const operation_result committed = batched->commit_prepared_candidate_batch(batch, w.fragments, w.deltas);
    const double commit = ms_since(start);
    if (!committed.ok) state.SkipWithError(committed.message.c_str());

    start = clock_type::now();
    for (int j = 0; j < OWNERS; ++j) {
      if (!direct->update_owner(w.fragments[j], w.deltas[j], direct->current_revision()).ok) {
        state.SkipWithError("direct update refused");
      }
    }
    const double one_by_one = ms_since(start);

    state.SetIterationTime((prepare + commit) / 1000.0);
    prepare_ms += prepare, commit_ms += commit, direct_ms += one_by_one;
    staging_probes = batch->staging_probes();
  }
  const double n = static_cast<double>(state.iterations());
  bucket_spy spy("main");
  spy.prepare_candidate_batch(w.fragments, w.deltas, 0);
  state.counters["prepare_ms"] = prepare_ms / n;
  state.counters["commit_ms"] = commit_ms / n;
  state.counters["direct_ms"] = direct_ms / n;
  state.counters["batch_to_direct"] = (prepare_ms + commit_ms) / direct_ms;
  state.counters["staging_buckets"] = spy.buckets;
  state.counters["staging_probes_per_item"] = staging_probes / OWNERS;
}

BENCHMARK(BM_BatchOf4096Updates)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
