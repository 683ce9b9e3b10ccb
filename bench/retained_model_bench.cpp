// The retained model's two hot paths in a store: the canonical text of a
// command (made for every command that a prepared admission captures and
// compares) and a lookup in an index of 8192 buckets. The hash is fixed by the
// key format, so beside the lookup time the figures show how the store's real
// key shapes spread over the buckets.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"

namespace {

// A glyph command of a text run, with ids and texts of the sizes a real owner uses.
orvi::render_command_record typical_command() {
  orvi::render_command_record c;
  c.sequence = 183204;
  c.owner = "notebook.entries.row-0042.title";
  c.kind = "glyphAlpha";
  c.attributeText1 = "Segoe UI Variable Text";
  c.attributeText2 = "regular";
  c.resourceId = "sha256:9f2c4e1a7b3d5f60819a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e6f70";
  c.imageGeneration = 0;
  c.paintId = "paint.text.primary";
  c.clipId = "clip.notebook.entries";
  c.transformId = "identity";
  c.attributeValues = {14, 400, 0, 1};
  c.extraText1 = "en-GB";
  c.extraText2 = "ltr";
  c.extraTexts = {"", "baseline", "run-17", ""};
  c.geometry = {132, 488, 61, 19, 132, 503, 0, 0, 1000, 1000, 0, 0, 132, 488, 193, 507, 4, 15};
  c.geometryFlag = false;
  return c;
}

void BM_CommandText(benchmark::State& state) {
  const orvi::render_command_record command = typical_command();
  std::size_t bytes = 0;
  for (auto _ : state) {
    orvi::text t = orvi::command_record_text(command);
    bytes = t.size();
    benchmark::DoNotOptimize(t.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(std::to_string(bytes) + "-byte text");
}

constexpr std::int32_t BUCKETS = 8192;
constexpr std::int32_t KEYS = 200704;

enum : int { COMMAND_SEQUENCES, PAINT_IDS, MIXED };

// The store's key shapes: "16:command-sequence:0::N", "5:paint:K:paint-N:0", and
// a mix of those with image generations and owner bindings.
std::vector<orvi::text> keys_of(int family) {
  std::vector<orvi::text> keys;
  keys.reserve(KEYS);
  for (std::int32_t n = 0; n < KEYS; ++n) {
    const std::string id = std::to_string(n);
    switch (family == MIXED ? n % 4 : family) {
      case COMMAND_SEQUENCES:
        keys.push_back(orvi::make_index_key("command-sequence", "", n));
        break;
      case PAINT_IDS:
        keys.push_back(orvi::make_index_key("paint", "paint-" + id, 0));
        break;
      case 2:
        keys.push_back(orvi::make_index_key("image-generation", "image-" + std::to_string(n / 16), n % 16 + 1));
        break;
      default:
        keys.push_back(orvi::make_index_key("binding", "notebook.entries.row-" + id, 0));
        break;
    }
  }
  return keys;
}

void BM_IndexFind(benchmark::State& state) {
  static const char* const names[] = {"command-sequence keys", "paint keys", "mixed keys"};
  std::vector<orvi::text> keys = keys_of(static_cast<int>(state.range(0)));
  orvi::index_table table(BUCKETS);
  std::vector<std::int32_t> chain(BUCKETS, 0);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    table.assign(keys[i], static_cast<std::uint32_t>(i));
    ++chain[static_cast<std::size_t>(table.bucket_of(keys[i]))];
  }
  std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
  std::size_t next = 0;
  const std::uint32_t probes_before = table.probes();
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.find(keys[next]));
    if (++next == keys.size()) next = 0;
  }
  const double hits = static_cast<double>(state.iterations());
  state.counters["probes/hit"] = static_cast<double>(table.probes() - probes_before) / hits;
  state.counters["ideal"] = static_cast<double>(KEYS) / BUCKETS / 2;
  state.counters["longest"] = *std::max_element(chain.begin(), chain.end());
  state.counters["empty"] = static_cast<double>(std::count(chain.begin(), chain.end(), 0));
  state.SetLabel(names[state.range(0)]);
}

BENCHMARK(BM_CommandText);
BENCHMARK(BM_IndexFind)->DenseRange(COMMAND_SEQUENCES, MIXED);

}  // namespace

BENCHMARK_MAIN();
