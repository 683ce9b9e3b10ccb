#include "app/notebook_store.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"
#include "runtime/file_access.hpp"
#include "storage/durable_store.hpp"
#include "tests/support/file_ops_guard.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::file_ops_guard;
using testing::temp_dir;

// Makes every write of the write-ahead copy fail, so the commit fails; first
// writes `snapshot_bytes` over the snapshot unless null, to spoil the reopen.
const byte_vector* snapshot_bytes;
void fail_wal_writes(const byte_vector* spoil_snapshot) {
  snapshot_bytes = spoil_snapshot;
  active_store_file_ops().write_file = [](const text& path, const byte_vector& bytes) {
    if (!path.ends_with("store.wal.cordvex")) return platform_store_file_ops().write_file(path, bytes);
    if (snapshot_bytes) write_file_bytes(path.substr(0, path.size() - 17) + "store.cordvex", *snapshot_bytes);
    return false;
  };
}
const byte_vector BROKEN = text_to_byte_vector("broken");

TEST(NotebookStore, OpensReadyOrWithTheDatabaseMessage) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.file("db"));
  EXPECT_EQ(store->status, "Ready");

  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {}));
  const auto failed = open_notebook_store(tmp.file("file"));
  EXPECT_EQ(failed->status, "database directory is unavailable");
  EXPECT_FALSE(failed->save("k", "v"));
  EXPECT_EQ(failed->status, "database directory is unavailable");
  EXPECT_FALSE(failed->delete_key("k"));
  EXPECT_EQ(failed->status, "Key does not exist");
}

TEST(NotebookStore, SaveAndDeleteStatuses) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  for (const text& key : {text(), text(121, 'k')}) {
    EXPECT_FALSE(store->save(key, "v"));
    EXPECT_EQ(store->status, "Use a key of 1 to 120 bytes");
  }
  EXPECT_FALSE(store->delete_key("never"));
  EXPECT_EQ(store->status, "Key does not exist");
  EXPECT_EQ(store->database.generation, 0) << "refusals commit nothing";

  EXPECT_TRUE(store->save(text(120, 'k'), "v"));
  EXPECT_EQ(store->status, "Saved / commit 1");
  EXPECT_TRUE(store->save("a", "first"));
  EXPECT_TRUE(store->save("a", "second"));
  EXPECT_EQ(store->status, "Saved / commit 3");
  EXPECT_EQ(store->database.entries.size(), 2u) << "replaced in place";
  EXPECT_EQ(store_get(open_notebook_store(tmp.str())->database, "a").value, "second");

  EXPECT_TRUE(store->delete_key("a"));
  EXPECT_EQ(store->status, "Deleted");
  EXPECT_EQ(store->database.entries.size(), 1u) << "read back without the tombstone";
  EXPECT_FALSE(store_get(open_notebook_store(tmp.str())->database, "a").found);
  EXPECT_FALSE(store->delete_key("a"));
  EXPECT_EQ(store->status, "Key does not exist");
}

// A failed save or delete reads the disk back; when the directory no longer
// opens, the status gives the open's message instead of claiming a reopen.
TEST(NotebookStore, FailedCommitsReadTheDiskBack) {
  for (const bool deleting : {false, true}) {
    SCOPED_TRACE(deleting ? "delete" : "save");
    temp_dir tmp;
    const auto store = open_notebook_store(tmp.str());
    ASSERT_TRUE(store->save("k", "1"));
    const auto change = [&] { return deleting ? store->delete_key("k") : store->save("k", "2"); };
    {
      file_ops_guard guard;
      fail_wal_writes(nullptr);
      EXPECT_FALSE(change());
    }
    EXPECT_EQ(store->status,
              deleting ? "Delete failed. Reopened durable data." : "Commit failed. Reopened durable data.");
    EXPECT_EQ(store_get(store->database, "k").value, "1") << "memory matches the disk again";
    EXPECT_EQ(store->database.generation, 1);
    {
      file_ops_guard guard;
      fail_wal_writes(&BROKEN);
      EXPECT_FALSE(change());
    }
    EXPECT_EQ(store->status, "snapshot header is invalid");
    EXPECT_FALSE(store->database.open);
  }
}

// A commit that fails at its rename, after forcing its write-ahead copy, is
// completed by the reopen: then it reports success. When the reopen cannot
// complete it either, the open's message shows.
TEST(NotebookStore, ACommitTheReopenCompletesIsReportedDone) {
  static int failing_renames;
  for (const bool deleting : {false, true}) {
    for (const int renames : {1, 1000}) {
      SCOPED_TRACE(::testing::Message() << (deleting ? "delete" : "save") << ", failing renames " << renames);
      temp_dir tmp;
      const auto store = open_notebook_store(tmp.str());
      ASSERT_TRUE(store->save("k", "1"));
      file_ops_guard guard;
      failing_renames = renames;
      active_store_file_ops().replace_file = [](const std::filesystem::path& from, const std::filesystem::path& to) {
        return failing_renames-- <= 0 && platform_store_file_ops().replace_file(from, to);
      };
      const bool completed = renames == 1;
      EXPECT_EQ(deleting ? store->delete_key("k") : store->save("k", "2"), completed);
      EXPECT_EQ(store->status, !completed ? "write-ahead recovery could not promote the durable snapshot"
                               : deleting ? "Deleted"
                                          : "Saved / commit 2");
      EXPECT_EQ(store_get(store->database, "k").value, deleting ? "" : "2");
    }
  }
}

TEST(NotebookStore, ReopenErrorsPassAndKeepTheOldDatabase) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  ASSERT_TRUE(store->save("kept", "1"));
  file_ops_guard guard;
  const byte_vector oversized(2097153, 0);
  fail_wal_writes(&oversized);
  EXPECT_THROW(store->save("new", "2"), tovi_runtime_exception);
  EXPECT_TRUE(store_get(store->database, "new").found) << "the database before the reopen";
  EXPECT_THROW(open_notebook_store(tmp.str()), tovi_runtime_exception);
}

}  // namespace
}  // namespace orvi
