#include "storage/durable_store.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "runtime/errors.hpp"
#include "storage/file_ops.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/file_ops_guard.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::file_bytes;
using testing::file_ops_guard;
using testing::file_exists;
using testing::list_dir;
using testing::temp_dir;

const std::vector<text> SNAPSHOT_ONLY{"store.cordvex"};
const std::vector<text> SNAPSHOT_AND_WAL{"store.cordvex", "store.wal.cordvex"};

store_record make_store(const text& dir, std::int32_t generation, std::vector<std::pair<text, text>> entries) {
  store_record store = new_empty_store(dir);
  store.generation = generation;
  for (const auto& [k, v] : entries) store_put(store, k, v);
  store.dirty = 0;
  return store;
}

void write_snapshot(const text& path, const store_record& store) {
  ASSERT_TRUE(write_file_bytes(path, encode_snapshot(store)));
}

void write_garbage(const text& path) { ASSERT_TRUE(write_file_bytes(path, text_to_byte_vector("not a snapshot"))); }

std::vector<std::pair<text, text>> live_entries(const store_record& store) {
  std::vector<std::pair<text, text>> out;
  for (const auto& e : store.entries) {
    if (!e.deleted) out.emplace_back(e.key, e.value);
  }
  return out;
}

TEST(OpenStore, DirectoryRules) {
  temp_dir tmp;
  const store_record fresh = open_store(tmp.str());
  EXPECT_TRUE(fresh.open);
  EXPECT_EQ(fresh.generation, 0);
  EXPECT_EQ(fresh.status, "ok");
  EXPECT_TRUE(list_dir(tmp.str()).empty()) << "opening creates no file";

  // One level is created; a missing parent is not.
  EXPECT_TRUE(open_store(tmp.file("made")).open);
  EXPECT_TRUE(std::filesystem::is_directory(*to_platform_path(tmp.file("made"))));
  ASSERT_TRUE(write_file_bytes(tmp.file("plain"), {}));
  const text zero_byte_dir = tmp.str() + std::string("\0x", 2);
  for (const text& dir : {tmp.file("no/parent"), text(), tmp.file("plain"), zero_byte_dir, text("\xC3")}) {
    const store_record s = open_store(dir);
    EXPECT_FALSE(s.open) << dir;
    EXPECT_EQ(s.status, "database directory is unavailable") << dir;
  }
}

TEST(CommitStore, RoundTripAndDeletion) {
  temp_dir tmp;
  store_record store = open_store(tmp.str());
  EXPECT_TRUE(commit_store(store)) << "nothing to commit";
  EXPECT_EQ(store.generation, 0);
  EXPECT_TRUE(list_dir(tmp.str()).empty());

  store_put(store, "b", "2");
  store_put(store, "a", "1");
  ASSERT_TRUE(commit_store(store));
  EXPECT_EQ(store.generation, 1);
  EXPECT_FALSE(store.dirty);
  EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY) << "no write-ahead copy or temporary left";

  store_record reopened = open_store(tmp.str());
  EXPECT_EQ(reopened.generation, 1);
  EXPECT_EQ(live_entries(reopened), (std::vector<std::pair<text, text>>{{"a", "1"}, {"b", "2"}}));

  reopened.entries[static_cast<std::size_t>(store_index_of(reopened, "a"))].deleted = 1;
  reopened.dirty = 1;
  ASSERT_TRUE(commit_store(reopened));
  EXPECT_EQ(reopened.entries.size(), 2u) << "the tombstone stays in memory";
  EXPECT_EQ(live_entries(open_store(tmp.str())), (std::vector<std::pair<text, text>>{{"b", "2"}}));
}

TEST(CommitStore, RefusedCommitsTouchNothing) {
  temp_dir tmp;
  store_record failed = failed_store(tmp.str(), "snapshot header is invalid");
  failed.dirty = 1;
  EXPECT_FALSE(commit_store(failed));

  store_record at_max = open_store(tmp.str());
  at_max.generation = std::numeric_limits<std::int32_t>::max();
  store_put(at_max, "k", "v");
  EXPECT_FALSE(commit_store(at_max));
  EXPECT_EQ(at_max.generation, std::numeric_limits<std::int32_t>::max());
  EXPECT_TRUE(at_max.dirty);

  store_record small_budget = open_store(tmp.str());
  small_budget.byte_budget = 1024;
  store_put(small_budget, "k", text(1100, 'v'));
  EXPECT_FALSE(commit_store(small_budget));
  EXPECT_EQ(small_budget.generation, 0);

  // A budget above the read limit still never writes a file open_store refuses.
  store_record big_budget = open_store(tmp.str());
  big_budget.byte_budget = 4 * 1048576;
  store_put(big_budget, "a", text(1048576, 'a'));
  store_put(big_budget, "b", text(1048576, 'b'));
  EXPECT_FALSE(commit_store(big_budget));
  EXPECT_EQ(big_budget.generation, 0);
  EXPECT_TRUE(list_dir(tmp.str()).empty());
}

TEST(CommitStore, SnapshotOfExactlyTheReadLimit) {
  temp_dir tmp;
  store_record store = open_store(tmp.str());
  // 20 bytes of frame, then two entries of 8 + 1 + value bytes each.
  store_put(store, "a", text(1048576, 'a'));
  store_put(store, "b", text(2097152 - 20 - 9 - 1048576 - 9, 'b'));
  ASSERT_EQ(encoded_snapshot_size(store), 2097152);
  ASSERT_TRUE(commit_store(store));
  EXPECT_EQ(file_bytes(tmp.file("store.cordvex")).size(), 2097152u);
  EXPECT_EQ(open_store(tmp.str()).generation, 1);

  // The same bytes as a write-ahead copy are promoted.
  std::filesystem::rename(*to_platform_path(tmp.file("store.cordvex")),
                          *to_platform_path(tmp.file("store.wal.cordvex")));
  EXPECT_EQ(open_store(tmp.str()).generation, 1);
  EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY);
}

TEST(OpenStore, OversizedFilesRaise) {
  for (const char* name : {"store.cordvex", "store.wal.cordvex"}) {
    temp_dir tmp;
    ASSERT_TRUE(write_file_bytes(tmp.file(name), byte_vector(2097153, 1)));
    try {
      open_store(tmp.str());
      ADD_FAILURE() << name << " was read";
    } catch (const tovi_runtime_exception& e) {
      EXPECT_EQ(e.record().code, "file.read.limit") << name;
    }
  }
}

// Every row of the recovery table: what open returns and which files remain.
TEST(OpenStore, RecoveryTable) {
  enum kind { absent, valid, invalid };
  struct row {
    kind snapshot;
    std::int32_t snapshot_generation;
    kind wal;
    std::int32_t wal_generation;
    bool open;
    std::int32_t generation;  // of the result
    const char* status;
    bool wal_remains;
  };
  const row rows[] = {
      {absent, 0, absent, 0, true, 0, "ok", false},
      {absent, 0, valid, 4, true, 4, "ok", false},
      {absent, 0, invalid, 0, true, 0, "ok", false},
      {valid, 5, absent, 0, true, 5, "ok", false},
      {valid, 5, valid, 5, true, 5, "ok", false},
      {valid, 5, valid, 6, true, 6, "ok", false},
      {valid, 5, valid, 4, true, 5, "ok", false},
      {valid, 5, invalid, 0, true, 5, "ok", false},
      {invalid, 0, absent, 0, false, 0, "snapshot header is invalid", false},
      {invalid, 0, valid, 2, true, 2, "ok", false},
      {invalid, 0, invalid, 0, false, 0, "snapshot header is invalid", true},
  };
  for (const row& r : rows) {
    temp_dir tmp;
    const auto snap_store = make_store(tmp.str(), r.snapshot_generation, {{"both", "old"}, {"s", "snapshot"}});
    const auto wal_store = make_store(tmp.str(), r.wal_generation, {{"both", "new"}, {"w", "wal"}});
    if (r.snapshot == valid) write_snapshot(tmp.file("store.cordvex"), snap_store);
    if (r.snapshot == invalid) write_garbage(tmp.file("store.cordvex"));
    if (r.wal == valid) write_snapshot(tmp.file("store.wal.cordvex"), wal_store);
    if (r.wal == invalid) write_garbage(tmp.file("store.wal.cordvex"));
    const std::string where = "row snapshot=" + std::to_string(r.snapshot) + "/" +
                              std::to_string(r.snapshot_generation) + " wal=" + std::to_string(r.wal) + "/" +
                              std::to_string(r.wal_generation);

    const store_record result = open_store(tmp.str());
    EXPECT_EQ(static_cast<bool>(result.open), r.open) << where;
    EXPECT_EQ(result.generation, r.generation) << where;
    EXPECT_EQ(result.status, r.status) << where;
    EXPECT_FALSE(result.dirty) << where;
    EXPECT_EQ(file_exists(tmp.file("store.wal.cordvex")), r.wal_remains) << where;
    EXPECT_FALSE(file_exists(tmp.file("store.next.cordvex"))) << where;

    const bool promoted = r.wal == valid && (r.snapshot != valid || r.wal_generation >= r.snapshot_generation);
    const bool from_snapshot = r.snapshot == valid && !promoted;
    if (promoted) {
      EXPECT_EQ(live_entries(result), live_entries(wal_store)) << where;
      EXPECT_EQ(file_bytes(tmp.file("store.cordvex")), encode_snapshot(wal_store)) << where;
    } else if (from_snapshot) {
      EXPECT_EQ(live_entries(result), live_entries(snap_store)) << where;
    } else {
      EXPECT_TRUE(result.entries.empty()) << where;
    }
    // Opening again finds a settled directory.
    const store_record again = open_store(tmp.str());
    EXPECT_EQ(again.generation, result.generation) << where;
    EXPECT_EQ(live_entries(again), live_entries(result)) << where;
  }
}

TEST(OpenStore, FailedPromotionKeepsTheWriteAheadCopy) {
  temp_dir tmp;
  write_snapshot(tmp.file("store.cordvex"), make_store(tmp.str(), 1, {{"k", "old"}}));
  write_snapshot(tmp.file("store.wal.cordvex"), make_store(tmp.str(), 2, {{"k", "new"}}));
  {
    file_ops_guard guard;
    active_store_file_ops().replace_file = [](const std::filesystem::path&, const std::filesystem::path&) {
      return false;
    };
    const store_record s = open_store(tmp.str());
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.status, "write-ahead recovery could not promote the durable snapshot");
    EXPECT_EQ(s.generation, 2);
    EXPECT_EQ(store_get(s, "k").value, "new");
    EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_AND_WAL) << "the temporary is removed";
  }
  EXPECT_EQ(store_get(open_store(tmp.str()), "k").value, "new");
}

// A failing step gives false, restores the generation, keeps dirty, and leaves
// files from which the next open completes the change whenever the write-ahead
// copy was complete.
TEST(CommitStore, FailingStepsAreRecoveredOnOpen) {
  enum step { write_wal, flush_wal, write_next, flush_next, rename_next };
  struct expectation {
    step failing;
    std::vector<text> files_after;
    const char* value_after_open;
  };
  const expectation cases[] = {
      {write_wal, SNAPSHOT_ONLY, "old"},      {flush_wal, SNAPSHOT_AND_WAL, "new"},
      {write_next, SNAPSHOT_AND_WAL, "new"},  {flush_next, SNAPSHOT_AND_WAL, "new"},
      {rename_next, SNAPSHOT_AND_WAL, "new"},
  };
  static step failing;
  for (const auto& c : cases) {
    temp_dir tmp;
    store_record store = open_store(tmp.str());
    store_put(store, "k", "old");
    ASSERT_TRUE(commit_store(store));
    store_put(store, "k", "new");
    failing = c.failing;
    {
      file_ops_guard guard;
      active_store_file_ops().write_file = [](const text& path, const byte_vector& bytes) {
        const bool wal = path.ends_with("store.wal.cordvex");
        if ((failing == write_wal && wal) || (failing == write_next && !wal)) return false;
        return platform_store_file_ops().write_file(path, bytes);
      };
      active_store_file_ops().flush_file = [](const std::filesystem::path& path) {
        const bool wal = path.filename() == "store.wal.cordvex";
        if ((failing == flush_wal && wal) || (failing == flush_next && !wal)) return false;
        return platform_store_file_ops().flush_file(path);
      };
      active_store_file_ops().replace_file = [](const std::filesystem::path& from, const std::filesystem::path& to) {
        return failing != rename_next && platform_store_file_ops().replace_file(from, to);
      };
      EXPECT_FALSE(commit_store(store)) << c.failing;
    }
    EXPECT_EQ(store.generation, 1) << c.failing;
    EXPECT_TRUE(store.dirty) << c.failing;
    EXPECT_EQ(list_dir(tmp.str()), c.files_after) << c.failing;
    const store_record reopened = open_store(tmp.str());
    EXPECT_EQ(store_get(reopened, "k").value, c.value_after_open) << c.failing;
    EXPECT_EQ(reopened.generation, text(c.value_after_open) == "new" ? 2 : 1) << c.failing;
    EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY) << c.failing;
  }
}

TEST(OpenStore, OnlyNotFoundMeansAbsent) {
  temp_dir tmp;
  store_record store = open_store(tmp.str());
  store_put(store, "k", "v");
  ASSERT_TRUE(commit_store(store));

  file_ops_guard guard;
  active_store_file_ops().query_kind = [](const std::filesystem::path& path) {
    return path.filename() == "store.cordvex" ? file_kind::unknown : query_file_kind(path);
  };
  // A snapshot whose type query fails is still read, not taken for absent.
  EXPECT_EQ(store_get(open_store(tmp.str()), "k").value, "v");
  // Where nothing can be read, the read error surfaces instead of an empty store.
  std::filesystem::remove(*to_platform_path(tmp.file("store.cordvex")));
  EXPECT_THROW(open_store(tmp.str()), tovi_runtime_exception);
}

TEST(FileHelpers, ZeroBytePathsAreRefused) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("f"), text_to_byte_vector("data")));
  const text cut = tmp.file("f") + std::string("\0tail", 5);
  EXPECT_FALSE(is_regular_file(cut));
  EXPECT_FALSE(flush_file_by_path(cut));
  remove_file_quietly(cut);
  EXPECT_TRUE(file_exists(tmp.file("f"))) << "a name cut at the zero must not be acted on";
  try {
    read_file_bounded(cut, 100);
    ADD_FAILURE();
  } catch (const tovi_runtime_exception& e) {
    EXPECT_EQ(e.record().code, "file.read");
    EXPECT_TRUE(e.record().message.starts_with("unable to open file: "));
  }
  EXPECT_TRUE(is_regular_file(tmp.file("f")));
  EXPECT_FALSE(is_regular_file(tmp.str()));
  EXPECT_FALSE(is_regular_file(""));
  EXPECT_FALSE(flush_file_by_path(tmp.file("missing")));
  EXPECT_TRUE(flush_file_by_path(tmp.file("f")));
  EXPECT_EQ(snapshot_path("d"), "d/store.cordvex");
  EXPECT_EQ(wal_path("d"), "d/store.wal.cordvex");
}

}  // namespace
}  // namespace orvi
