// Commit latency beside the floor the platform allows (two files written and
// forced plus one replacing rename of the same size), and the open time of a
// full store. Runs under Wine: bench/commit_bench.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/file_access.hpp"
#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"

namespace {

using namespace orvi;
using clock_type = std::chrono::steady_clock;

template <typename F>
double median_ms(int reps, F&& f) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    const auto start = clock_type::now();
    f(i);
    times.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::string key_of(int i) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "k%05d", i);
  return buffer;
}

// What any durable replacement of the same size must pay.
void floor_write(const text& dir, const byte_vector& bytes) {
  for (const char* name : {"/floor.a", "/floor.b"}) {
    write_file_bytes(dir + name, bytes);
    flush_file_by_path(dir + name);
  }
  const auto from = *to_platform_path(dir + "/floor.b");
  const auto to = *to_platform_path(dir + "/floor.c");
  MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

int main() {
  const auto root = std::filesystem::temp_directory_path() / "orvi-commit-bench";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  const auto u8 = root.generic_u8string();
  const text dir(u8.begin(), u8.end());

  std::printf("%-10s %12s %12s %8s %12s\n", "entries", "commit ms", "floor ms", "ratio", "snapshot B");
  for (int n : {1, 1000, 65536}) {
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    store_record store = open_store(dir);
    for (int i = 0; i < n; ++i) store_put(store, key_of(i), "value-0123456789");
    commit_store(store);
    const int reps = n > 10000 ? 15 : 100;
    const double commit = median_ms(reps, [&](int i) {
      store_put(store, key_of(i % n), "value-" + std::to_string(1000000000 + i));
      if (!commit_store(store)) std::fprintf(stderr, "commit failed\n");
    });
    const byte_vector bytes = encode_snapshot(store);
    const double floor = median_ms(reps, [&](int) { floor_write(dir, bytes); });
    std::printf("%-10d %12.3f %12.3f %8.2f %12zu\n", n, commit, floor, commit / floor, bytes.size());
  }
  const double open = median_ms(15, [&](int) { open_store(dir); });
  std::printf("open of a 65536-entry store: %.3f ms\n", open);
  std::filesystem::remove_all(root);
}
