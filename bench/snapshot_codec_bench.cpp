// Snapshot encode and decode beside a bare checksum pass over the same bytes,
// the floor that any pass over a snapshot has to pay.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "storage/snapshot_codec.hpp"

namespace {

// 65536 entries of an 8-byte key and a 12-byte value. In key order, as a store
// read back from disk holds them, or shuffled, as if every key had been put
// since the last open (the worst case for the encoder's sort).
orvi::store_record many_small_entries(bool shuffled) {
  std::vector<std::uint32_t> ids(orvi::MAX_ENTRIES);
  for (std::uint32_t i = 0; i < ids.size(); ++i) ids[i] = i;
  if (shuffled) std::shuffle(ids.begin(), ids.end(), std::mt19937(1));
  orvi::store_record s = orvi::new_empty_store("bench");
  s.entries.reserve(ids.size());
  char key[16];
  for (auto id : ids) {
    std::snprintf(key, sizeof key, "key%05u", static_cast<unsigned>(id));
    s.entries.push_back({key, "value " + std::to_string(100000 + id), 0});
  }
  return s;
}

// 32 entries of almost 64 KiB each: a snapshot just under 2 MiB.
orvi::store_record few_large_entries() {
  orvi::store_record s = orvi::new_empty_store("bench");
  std::mt19937 rng(2);
  for (int i = 31; i >= 0; --i) {
    std::string value(65000, '\0');
    for (auto& c : value) c = static_cast<char>('a' + rng() % 26);
    s.entries.push_back({"large" + std::to_string(100 + i), std::move(value), 0});
  }
  return s;
}

enum : int { SMALL_SORTED, SMALL_SHUFFLED, LARGE };

const orvi::store_record& store_for(const benchmark::State& state) {
  static const orvi::store_record sorted = many_small_entries(false);
  static const orvi::store_record shuffled = many_small_entries(true);
  static const orvi::store_record large = few_large_entries();
  switch (state.range(0)) {
    case SMALL_SORTED:
      return sorted;
    case SMALL_SHUFFLED:
      return shuffled;
    default:
      return large;
  }
}

void label(benchmark::State& state, const orvi::byte_vector& bytes) {
  static const char* const names[] = {"65536 small, in key order", "65536 small, shuffled", "32 x 64 KiB"};
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.SetLabel(names[state.range(0)]);
}

void BM_Checksum(benchmark::State& state) {
  const orvi::byte_vector bytes = orvi::encode_snapshot(store_for(state));
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvi::snapshot_checksum(bytes, static_cast<std::int32_t>(bytes.size())));
  }
  label(state, bytes);
}

void BM_Encode(benchmark::State& state) {
  const orvi::store_record& store = store_for(state);
  orvi::byte_vector bytes;
  for (auto _ : state) {
    bytes = orvi::encode_snapshot(store);
    benchmark::DoNotOptimize(bytes.data());
  }
  label(state, bytes);
}

void BM_Decode(benchmark::State& state) {
  const orvi::byte_vector bytes = orvi::encode_snapshot(store_for(state));
  if (orvi::decode_snapshot(bytes, "bench").status != "ok") state.SkipWithError("snapshot does not decode");
  for (auto _ : state) {
    orvi::store_record store = orvi::decode_snapshot(bytes, "bench");
    benchmark::DoNotOptimize(store.entries.data());
  }
  label(state, bytes);
}

BENCHMARK(BM_Checksum)->DenseRange(SMALL_SORTED, LARGE)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Encode)->DenseRange(SMALL_SORTED, LARGE)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decode)->DenseRange(SMALL_SORTED, LARGE)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
