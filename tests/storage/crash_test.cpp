// A commit or a recovery stopped at any moment leaves a directory that opens
// to exactly the old or the new state, never a mix.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <sstream>

#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::child_process;
using testing::file_bytes;
using testing::list_dir;
using testing::temp_dir;
using testing::widen;

constexpr DWORD STOPPED = 86;
// A commit makes six file operations: write and force the write-ahead copy,
// write and force the temporary, rename, remove the write-ahead copy.
constexpr int COMMIT_EVENTS = 12;
// A recovery promotes: write and force the temporary, rename, remove.
constexpr int RECOVERY_EVENTS = 8;

DWORD run_child(const std::string& mode, const text& dir, int arg) {
  child_process child(L"commit_child.exe", widen(mode + " \"" + dir + "\" " + std::to_string(arg)));
  EXPECT_TRUE(child.started());
  return child.wait();
}

// Generation 2 holding k=old, the state every stopped commit starts from.
void prepare_old_state(const text& dir) {
  store_record store = open_store(dir);
  store_put(store, "k", "stale");
  ASSERT_TRUE(commit_store(store));
  store_put(store, "k", "old");
  ASSERT_TRUE(commit_store(store));
}

struct directory_state {
  std::vector<text> files;
  std::vector<byte_vector> contents;
  bool operator==(const directory_state&) const = default;
};

directory_state read_directory(const text& dir) {
  directory_state state{list_dir(dir), {}};
  for (const auto& f : state.files) state.contents.push_back(file_bytes(dir + "/" + f));
  return state;
}

// Asserts that the directory opens to the whole old or the whole new state and
// that a second open changes nothing; returns whether it was the new one.
bool expect_whole_state(const text& dir, const std::string& where) {
  const store_record first = open_store(dir);
  EXPECT_TRUE(first.open) << where;
  EXPECT_EQ(first.status, "ok") << where;
  const bool is_new = store_get(first, "k").value == "new";
  if (is_new) {
    EXPECT_EQ(first.generation, 3) << where;
    EXPECT_EQ(store_get(first, "added").value, "with the new value") << where;
  } else {
    EXPECT_EQ(store_get(first, "k").value, "old") << where;
    EXPECT_EQ(first.generation, 2) << where;
    EXPECT_FALSE(store_get(first, "added").found) << where;
  }
  const directory_state settled = read_directory(dir);
  const store_record second = open_store(dir);
  EXPECT_EQ(second.generation, first.generation) << where;
  EXPECT_EQ(read_directory(dir), settled) << where << ": a second open changed the files";
  return is_new;
}

TEST(StoppedCommit, EveryStepGivesTheOldOrTheNewState) {
  for (int e = 0; e <= COMMIT_EVENTS; ++e) {
    temp_dir tmp;
    prepare_old_state(tmp.str());
    const DWORD code = run_child("commit-stop", tmp.str(), e);
    const std::string where = "stopped at event " + std::to_string(e);
    EXPECT_EQ(code, e < COMMIT_EVENTS ? STOPPED : 0u) << where;
    // Once the write-ahead copy is written whole, the commit survives a
    // stopped process (the system keeps what was written; only a power loss
    // before the forcing could take it back).
    EXPECT_EQ(expect_whole_state(tmp.str(), where), e >= 1) << where;
  }
}

TEST(StoppedCommit, PartWrittenFiles) {
  // op 0 is the write-ahead copy, op 2 the temporary.
  for (int op : {0, 2}) {
    temp_dir tmp;
    prepare_old_state(tmp.str());
    const std::string where = "half-written op " + std::to_string(op);
    EXPECT_EQ(run_child("commit-partial", tmp.str(), op), STOPPED) << where;
    EXPECT_EQ(expect_whole_state(tmp.str(), where), op == 2) << where;
    EXPECT_EQ(list_dir(tmp.str()), std::vector<text>{"store.cordvex"}) << where;
  }
}

TEST(StoppedRecovery, EveryStepOfThePromotion) {
  for (int e = 0; e <= RECOVERY_EVENTS; ++e) {
    temp_dir tmp;
    prepare_old_state(tmp.str());
    store_record next = open_store(tmp.str());
    store_put(next, "k", "new");
    store_put(next, "added", "with the new value");
    next.generation = 3;
    ASSERT_TRUE(write_file_bytes(wal_path(tmp.str()), encode_snapshot(next)));
    const std::string where = "recovery stopped at event " + std::to_string(e);
    EXPECT_EQ(run_child("open-stop", tmp.str(), e), e < RECOVERY_EVENTS ? STOPPED : 0u) << where;
    EXPECT_TRUE(expect_whole_state(tmp.str(), where)) << where;
  }
}

// Consistent means every value describes the generation it was written in.
void expect_self_describing(const store_record& store, const std::string& where) {
  const std::int32_t g = store.generation;
  if (g == 0) {
    EXPECT_TRUE(store.entries.empty()) << where;
    return;
  }
  EXPECT_EQ(store_get(store, "counter").value, std::to_string(g)) << where;
  EXPECT_EQ(store_get(store, "item-" + std::to_string(g % 37)).value, "generation " + std::to_string(g)) << where;
  for (const auto& e : store.entries) {
    if (!e.key.starts_with("item-")) continue;
    const int written = std::stoi(e.value.substr(11));
    EXPECT_LE(written, g) << where;
    EXPECT_EQ("item-" + std::to_string(written % 37), e.key) << where;
  }
}

TEST(RandomKills, AcknowledgedCommitsAlwaysSurvive) {
  temp_dir tmp;
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delay_ms(0, 120);
  std::int32_t acknowledged = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  int kills = 0;
  for (; kills < 60 && std::chrono::steady_clock::now() < deadline; ++kills) {
    child_process child(L"commit_child.exe", widen("loop \"" + tmp.str() + "\""));
    ASSERT_TRUE(child.started());
    Sleep(static_cast<DWORD>(delay_ms(random)));
    child.kill();
    std::istringstream lines(child.output());
    std::string word;
    std::int32_t generation = 0;
    while (lines >> word >> generation) {
      if (word == "ack") acknowledged = std::max(acknowledged, generation);
    }
    const std::string where = "after kill " + std::to_string(kills);
    const store_record store = open_store(tmp.str());
    ASSERT_TRUE(store.open) << where << ": " << store.status;
    EXPECT_EQ(store.status, "ok") << where;
    EXPECT_GE(store.generation, acknowledged) << where;
    expect_self_describing(store, where);
  }
  EXPECT_GE(kills, 50);
  EXPECT_GT(acknowledged, 0) << "the child never committed";
}

TEST(LockedSnapshot, RenameFailsAndTheNextOpenCompletes) {
  temp_dir tmp;
  prepare_old_state(tmp.str());
  store_record store = open_store(tmp.str());
  store_put(store, "k", "new");
  const std::wstring snapshot = std::filesystem::path(*to_platform_path(snapshot_path(tmp.str()))).wstring();
  // A reader that does not share deletion blocks the replacing rename.
  HANDLE reader = CreateFileW(snapshot.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(commit_store(store));
  EXPECT_EQ(store.generation, 2);
  EXPECT_TRUE(store.dirty);
  CloseHandle(reader);
  EXPECT_EQ((std::vector<text>{"store.cordvex", "store.wal.cordvex"}), list_dir(tmp.str()));
  const store_record reopened = open_store(tmp.str());
  EXPECT_EQ(reopened.generation, 3);
  EXPECT_EQ(store_get(reopened, "k").value, "new");
}

}  // namespace
}  // namespace orvi
