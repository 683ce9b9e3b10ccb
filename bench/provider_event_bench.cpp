// Events recorded through record_host_event into a log of 10^6 lines, and the
// heap each line holds beside the bytes of the line itself.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <new>

#include "provider/native_ui_host_provider.hpp"

namespace {

// Live heap bytes as the allocator sized them (one thread only).
std::size_t live_bytes = 0;

}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  live_bytes += malloc_usable_size(p);
  return p;
}
void operator delete(void* p) noexcept {
  if (p != nullptr) live_bytes -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

constexpr int lines = 1000000;

void BM_RecordHostEvent(benchmark::State& state) {
  const orvi::native_ui_host_capabilities contract{
      "orvi.native-ui-host-capabilities.v1", 1, "bench", 1, 1, 1, 1, 1, 1, 1};
  double heap_per_line = 0, bytes_per_line = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      orvi::native_ui_host_provider p(contract, 1);
      p.initialize(true, false, 1, 0, 0);
      const std::size_t before = live_bytes;
      state.ResumeTiming();
      // Time and correlation 0: the log numbers them itself, as a host that
      // has no clock of its own would have it.
      for (int i = 0; i < lines; ++i) {
        p.record_host_event("window", "window-1", "resized", "correlated-window-runtime-event", 0, 0, 0);
      }
      state.PauseTiming();
      std::size_t bytes = 0;
      for (std::size_t i = 1; i < p.event_log.size(); ++i) bytes += p.event_log[i].size();
      heap_per_line = static_cast<double>(live_bytes - before) / lines;
      bytes_per_line = static_cast<double>(bytes) / lines;
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["line_bytes"] = bytes_per_line;
  state.counters["heap_bytes_per_line"] = heap_per_line;
}

BENCHMARK(BM_RecordHostEvent)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
