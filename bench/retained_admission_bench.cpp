// Owner admissions of the retained store: one binding whose delta brings many
// new paints (the time should grow linearly with their number), and a store
// filled with thousands of small owners (admissions per second).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "retained/store/retained_resource_store.hpp"

namespace {

using steady = std::chrono::steady_clock;

orvi::owner_fragment fragment(const std::string& id, std::int32_t first_sequence, int commands) {
  orvi::owner_fragment f{id, 1,      0, 0, 0, 100, 100, 0, 0, 100, 100, {"k1", "k2", "k3", "k4", "k5", "bench"},
                         {}, "bench"};
  for (int j = 0; j < commands; ++j) {
    orvi::render_command_record c;
    c.sequence = first_sequence + j;
    c.owner = id;
    c.kind = "rect";
    f.commands.push_back(c);
  }
  return f;
}

orvi::paint_record paint(const std::string& id) { return {id, 10, 20, 30, 255, 4, 1, 100}; }

// One owner of 16 commands, each drawing with one of the delta's last paints,
// so that resolving them finds accepted paints too.
void bind_one_owner_with_new_paints(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  orvi::owner_fragment f = fragment("owner", 0, 16);
  orvi::resource_delta delta{"bench", {}, {}, {}, {}, {}};
  for (int i = 0; i < count; ++i) delta.paints.push_back(paint("paint-" + std::to_string(i)));
  for (int j = 0; j < 16; ++j) f.commands[static_cast<std::size_t>(j)].paintId = delta.paints[count - 1 - j].id;
  for (auto _ : state) {
    auto store = std::make_unique<orvi::retained_resource_store>("bench");
    const auto start = steady::now();
    const orvi::operation_result result = store->bind_owner(f, delta, 0);
    state.SetIterationTime(std::chrono::duration<double>(steady::now() - start).count());
    if (!result.ok) state.SkipWithError(result.message.c_str());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(bind_one_owner_with_new_paints)->Arg(8192)->Arg(65536)->UseManualTime()->Unit(benchmark::kMillisecond);

// 4096 owners of 16 commands each, each with a paint of its own.
void bind_4096_owners(benchmark::State& state) {
  std::vector<orvi::owner_fragment> fragments;
  std::vector<orvi::resource_delta> deltas;
  for (int k = 0; k < 4096; ++k) {
    const std::string id = "owner-" + std::to_string(k);
    fragments.push_back(fragment(id, k * 16, 16));
    fragments.back().commands[0].paintId = "paint-" + id;
    deltas.push_back({"bench", {paint("paint-" + id)}, {}, {}, {}, {}});
  }
  for (auto _ : state) {
    auto store = std::make_unique<orvi::retained_resource_store>("bench");
    const auto start = steady::now();
    for (std::uint32_t k = 0; k < 4096; ++k) {
      const orvi::operation_result result = store->bind_owner(fragments[k], deltas[k], k);
      if (!result.ok) state.SkipWithError(result.message.c_str());
    }
    state.SetIterationTime(std::chrono::duration<double>(steady::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(bind_4096_owners)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
