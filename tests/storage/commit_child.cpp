// A child process for the crash tests: it commits or opens a store and ends
// itself abruptly (TerminateProcess: no destructors, no flush) at a chosen
// file operation.
//
//   commit_child commit-stop DIR EVENT     put k=new, commit, stop at EVENT
//   commit_child commit-partial DIR OP     same, the OP-th write leaves half a file
//   commit_child open-stop DIR EVENT       open_store, stop at EVENT
//   commit_child loop DIR                  commit forever, printing "ack GEN"
//
// Events count file operations in order: 2k is just before the k-th, 2k + 1
// just after it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "storage/durable_store.hpp"
#include "storage/file_ops.hpp"

using namespace orvi;
using fs_path = std::filesystem::path;

constexpr UINT STOPPED = 86;
long stop_event = -1, partial_op = -1, ops_seen = 0;
const store_file_ops& real = platform_store_file_ops();

// Brackets each operation with its two events.
template <typename F>
auto step(F&& op) {
  if (2 * ops_seen == stop_event) TerminateProcess(GetCurrentProcess(), STOPPED);
  auto result = op();
  if (2 * ops_seen + 1 == stop_event) TerminateProcess(GetCurrentProcess(), STOPPED);
  ++ops_seen;
  return result;
}

void install_hooks() {
  auto& ops = active_store_file_ops();
  ops.write_file = [](const text& path, const byte_vector& bytes) {
    return step([&] {
      if (ops_seen == partial_op) {
        real.write_file(path, byte_vector(bytes.begin(), bytes.begin() + bytes.size() / 2));
        TerminateProcess(GetCurrentProcess(), STOPPED);
      }
      return real.write_file(path, bytes);
    });
  };
  ops.flush_file = [](const fs_path& p) { return step([&] { return real.flush_file(p); }); };
  ops.replace_file = [](const fs_path& from, const fs_path& to) {
    return step([&] { return real.replace_file(from, to); });
  };
  ops.remove_file = [](const fs_path& p) { return step([&] { return real.remove_file(p); }); };
}

int main(int argc, char** argv) {
  if (argc < 3) return 64;
  const std::string mode = argv[1];
  (mode == "commit-partial" ? partial_op : stop_event) = argc > 3 ? std::strtol(argv[3], nullptr, 10) : -1;
  if (mode == "open-stop") install_hooks();
  store_record store = open_store(argv[2]);
  if (!store.open) return 2;
  if (mode == "open-stop") return 0;
  // Every looping commit writes its generation into every key, so a reader
  // can tell a torn state from a whole one.
  while (mode == "loop") {
    for (const char* key : {"a", "b", "c"}) store_put(store, key, std::to_string(store.generation + 1));
    if (!commit_store(store)) return 3;
    std::printf("ack %d\n", store.generation);
    std::fflush(stdout);
  }
  store_put(store, "k", "new");
  store_put(store, "added", "with the new value");
  install_hooks();
  return commit_store(store) ? 0 : 1;
}
