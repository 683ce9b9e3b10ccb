// Filling the retained resource store to its limits through real binds: 4096
// owners of 16 commands, each command drawing an image of its own, so the store
// ends at exactly 65536 entries, 65536 commands and 200704 index nodes. Either
// every image is a placeholder, or the first 64 are ready 512 x 512 images that
// bring the payload to its 64 MiB limit as well. Beside the time, the resident
// memory the full store adds, next to the bytes its texts and payloads hold:
// the heap it holds (the same every time) and the resident set it adds, which
// is only measured by the first fill in a process (later fills reuse what the
// allocator kept), so run one configuration per process for that figure, e.g.
// --benchmark_filter=payload_64MiB:1.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "retained/store/retained_resource_store.hpp"

namespace {

using namespace orvi;

// Counts the bytes of every text the store holds: resource, owner and command
// columns and the index keys.
struct measured_store : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  double text_bytes() const {
    double bytes = 0;
    const auto add = [&](const std::vector<text>& column) {
      for (const text& t : column) bytes += static_cast<double>(t.size());
    };
    for (const auto* c : {&paint_table.id,          &clip_table.id,
                          &transform_table.id,      &glyph_table.id,
                          &glyph_table.format,      &glyph_table.payload,
                          &glyph_table.source,      &image_table.id,
                          &image_table.kind,        &image_table.format,
                          &image_table.color_space, &image_table.alpha_mode,
                          &image_table.state,       &image_table.content_identity,
                          &image_table.payload,     &image_table.source,
                          &owner_table.id,          &command_table.command_text,
                          &command_table.kind,      &command_table.resource_id,
                          &store_index.keys})
      add(*c);
    return bytes;
  }
};

// Resident set and its peak, in bytes, from /proc/self/status.
double status_bytes(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  double kib = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, field, std::strlen(field)) == 0) kib = std::atof(line + std::strlen(field));
  }
  std::fclose(f);
  return kib * 1024;
}

// Bytes the allocator has handed out, from its heap or mapped on their own.
double heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd);
}

render_image_record image(std::int32_t n, bool ready) {
  const text id = "image-" + std::to_string(n);
  if (!ready) return {id, "image", 1, 0, 0, 0, "bgra8-hex", "srgb", "straight", "loading", false, id, "", "src"};
  return {id,   "image", 1, 512, 512, 1048576, "bgra8-hex", "srgb", "straight", "ready", true, id, text(2097152, '7'),
          "src"};
}

std::vector<std::pair<owner_fragment, resource_delta>> full_store_inputs(bool payload) {
  std::vector<std::pair<owner_fragment, resource_delta>> inputs;
  for (std::int32_t n = 0; n < 4096; ++n) {
    owner_fragment f;
    f.id = "owner-" + std::to_string(n);
    f.generation = 1;
    f.layoutWidth = f.layoutHeight = f.inkWidth = f.inkHeight = 100;
    f.dependencySignature = {"layout", "style", "text", "image", "scale", "source"};
    f.source = "bench";
    resource_delta d{"main", {}, {}, {}, {}, {}};
    for (std::int32_t j = 0; j < 16; ++j) {
      d.images.push_back(image(16 * n + j, payload && n < 64 && j == 0));
      render_command_record m;
      m.sequence = 16 * n + j;
      m.owner = f.id;
      m.kind = "image";
      m.resourceId = d.images.back().id;
      m.imageGeneration = 1;
      m.geometry = {j, n, 16, 16};
      f.commands.push_back(std::move(m));
    }
    inputs.emplace_back(std::move(f), std::move(d));
  }
  return inputs;
}

void BM_FillStoreToLimits(benchmark::State& state) {
  const auto inputs = full_store_inputs(state.range(0) != 0);
  double store_rss = -1, store_heap = 0, held = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double before = status_bytes("VmRSS:"), heap_before = heap_in_use();
    auto store = std::make_unique<measured_store>("main");
    state.ResumeTiming();
    for (const auto& [fragment, delta] : inputs) {
      if (!store->bind_owner(fragment, delta, store->current_revision()).ok) state.SkipWithError("a bind was refused");
    }
    state.PauseTiming();
    if (store_rss < 0) store_rss = status_bytes("VmRSS:") - before;
    store_heap = heap_in_use() - heap_before;
    held = store->text_bytes();
    store.reset();
    state.ResumeTiming();
  }
  state.counters["held_MiB"] = held / 1048576;
  state.counters["store_heap_MiB"] = store_heap / 1048576;
  state.counters["store_rss_MiB"] = store_rss / 1048576;
  state.counters["rss_per_held_byte"] = held > 0 ? store_rss / held : 0;
  state.counters["peak_rss_MiB"] = status_bytes("VmHWM:") / 1048576;
}
BENCHMARK(BM_FillStoreToLimits)->ArgName("payload_64MiB")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
