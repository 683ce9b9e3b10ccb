// The retained store's column appends and its hashed index at full size: how
// long an append and a lookup take, and how many nodes a lookup visits.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "retained/model/index.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace {

constexpr int ROWS = 65536;

using steady = std::chrono::steady_clock;

double nanoseconds_since(steady::time_point start) {
  return std::chrono::duration<double, std::nano>(steady::now() - start).count();
}

std::string hex_payload(int bytes) { return std::string(static_cast<std::size_t>(bytes) * 2, 'a'); }

// Resources of all five kinds in turn, with distinct ids as admission would leave them.
struct resource_mix {
  std::vector<orvi::paint_record> paints;
  std::vector<orvi::render_image_record> images;
  std::vector<orvi::glyph_alpha_record> glyphs;
  std::vector<orvi::clip_record> clips;
  std::vector<orvi::transform_record> transforms;

  resource_mix() {
    for (int i = 0; i < ROWS / 5 + 1; ++i) {
      const std::string n = std::to_string(i);
      paints.push_back({"paint-" + n, 10, 20, 30, 255, 4, 1, 100});
      images.push_back({"image-" + n, "image", 1, 4, 4, 64, "bgra8-hex", "srgb", "straight", "ready", true,
                        "content-" + n, hex_payload(64), "bench"});
      std::string identity = "sha256:" + std::string(64 - n.size(), '0') + n;
      glyphs.push_back({identity, 8, 8, 8, 64, "a8-unorm-hex", hex_payload(64), "bench"});
      clips.push_back({"clip-" + n, 0, 0, 100, 50, 2});
      transforms.push_back({"transform-" + n, 5, -5, 100, 100, 0});
    }
  }
};

void append_resources(benchmark::State& state) {
  static const resource_mix mix;
  double spent = 0;
  for (auto _ : state) {
    auto store = std::make_unique<orvi::retained_resource_store>("bench");
    const auto start = steady::now();
    for (int i = 0; i < ROWS; ++i) {
      const auto k = static_cast<std::size_t>(i / 5);
      switch (i % 5) {
        case 0:
          store->append_paint_row(mix.paints[k]);
          break;
        case 1:
          store->append_image_row(mix.images[k]);
          break;
        case 2:
          store->append_glyph_row(mix.glyphs[k]);
          break;
        case 3:
          store->append_clip_row(mix.clips[k]);
          break;
        default:
          store->append_transform_row(mix.transforms[k]);
      }
    }
    benchmark::DoNotOptimize(store->index_node_count());
    spent += nanoseconds_since(start);
    state.PauseTiming();
    store.reset();
    state.ResumeTiming();
  }
  state.counters["ns/append"] = spent / (static_cast<double>(ROWS) * static_cast<double>(state.iterations()));
}

void append_commands(benchmark::State& state) {
  std::vector<orvi::render_command_record> commands(ROWS);
  for (int i = 0; i < ROWS; ++i) {
    auto& c = commands[static_cast<std::size_t>(i)];
    c.sequence = i;
    c.owner = "owner-" + std::to_string(i / 16);
    c.kind = i % 2 == 0 ? "image" : "rect";
    c.resourceId = "image-" + std::to_string(i);
    c.imageGeneration = 1;
    c.paintId = "paint-" + std::to_string(i % 100);
    c.geometry[0] = i;
  }
  double spent = 0;
  for (auto _ : state) {
    auto store = std::make_unique<orvi::retained_resource_store>("bench");
    const auto start = steady::now();
    for (int i = 0; i < ROWS; ++i) {
      store->append_command_row(i / 16, commands[static_cast<std::size_t>(i)], i % 100, i, -1, -1, -1);
    }
    benchmark::DoNotOptimize(store->command_owner(ROWS - 1));
    spent += nanoseconds_since(start);
    state.PauseTiming();
    store.reset();
    state.ResumeTiming();
  }
  state.counters["ns/append"] = spent / (static_cast<double>(ROWS) * static_cast<double>(state.iterations()));
}

// A store whose index holds the limit of 200704 nodes, keyed as the store keys
// its rows, owners and commands.
struct full_index {
  orvi::retained_resource_store store{"bench"};
  std::vector<std::string> hits, misses;

  full_index() {
    const char* kinds[] = {"paint", "image-generation", "image-latest", "glyph", "clip", "transform", "binding"};
    std::vector<std::string> keys;
    for (int i = 0; static_cast<std::uint32_t>(keys.size()) < orvi::MAX_STORE_INDEX_NODES; ++i) {
      keys.push_back(i % 2 == 0 ? orvi::make_index_key("command-sequence", "", i / 2)
                                : orvi::make_index_key(kinds[(i / 2) % 7], "resource-" + std::to_string(i / 2),
                                                       (i / 2) % 7 == 1 ? 1 : 0));
    }
    for (std::size_t i = 0; i < keys.size(); ++i) store.index_put(keys[i], static_cast<std::uint32_t>(i));
    std::mt19937 rng(3);
    std::shuffle(keys.begin(), keys.end(), rng);
    hits.assign(keys.begin(), keys.begin() + 65536);
    for (int i = 0; i < 65536; ++i) misses.push_back(orvi::make_index_key("paint", "absent-" + std::to_string(i), 0));
  }
};

void index_get(benchmark::State& state) {
  static full_index index;
  const auto& keys = state.range(0) != 0 ? index.hits : index.misses;
  orvi::preflight_result result = orvi::make_preflight_result("bench", 1);
  std::uint64_t lookups = 0, probes = 0;
  double spent = 0;
  for (auto _ : state) {
    const auto start = steady::now();
    for (const auto& key : keys) benchmark::DoNotOptimize(index.store.index_get(result, key));
    spent += nanoseconds_since(start);
    lookups += keys.size();
    probes += result.index_probes;
    result.index_probes = 0;
  }
  state.SetLabel(state.range(0) != 0 ? "hits" : "misses");
  state.counters["nodes"] = index.store.index_node_count();
  state.counters["probes/lookup"] = static_cast<double>(probes) / static_cast<double>(lookups);
  state.counters["ns/lookup"] = spent / static_cast<double>(lookups);
}

}  // namespace

BENCHMARK(append_resources)->Unit(benchmark::kMillisecond);
BENCHMARK(append_commands)->Unit(benchmark::kMillisecond);
BENCHMARK(index_get)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
