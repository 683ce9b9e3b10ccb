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

// What to do instead of writing the write-ahead copy: the commit then fails.
enum class on_wal_write { fail, fail_and_break_snapshot, fail_and_oversize_snapshot };
on_wal_write wal_action;

void fail_wal_writes(on_wal_write action) {
  wal_action = action;
  active_store_file_ops().write_file = [](const text& path, const byte_vector& bytes) {
    if (!path.ends_with("store.wal.cordvex")) return platform_store_file_ops().write_file(path, bytes);
    const text snapshot = path.substr(0, path.size() - 17) + "store.cordvex";
    if (wal_action == on_wal_write::fail_and_break_snapshot) {
      write_file_bytes(snapshot, text_to_byte_vector("broken"));
    } else if (wal_action == on_wal_write::fail_and_oversize_snapshot) {
      write_file_bytes(snapshot, byte_vector(2097153, 0));
    }
    return false;
  };
}

TEST(NotebookStore, OpensReadyOrWithTheDatabaseMessage) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.file("db"));
  EXPECT_EQ(store->status, "Ready");
  EXPECT_TRUE(store->database.open);
  EXPECT_EQ(store->directory, tmp.file("db"));

  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {}));
  const auto failed = open_notebook_store(tmp.file("file"));
  EXPECT_EQ(failed->status, "database directory is unavailable");
  EXPECT_FALSE(failed->save("k", "v"));
  EXPECT_EQ(failed->status, "database directory is unavailable");
  EXPECT_FALSE(failed->delete_key("k"));
  EXPECT_EQ(failed->status, "Key does not exist");
}

TEST(NotebookStore, SaveChecksKeysAndCountsCommits) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  for (const text& key : {text(), text(121, 'k')}) {
    EXPECT_FALSE(store->save(key, "v"));
    EXPECT_EQ(store->status, "Use a key of 1 to 120 bytes");
  }
  EXPECT_EQ(store->database.generation, 0) << "a refused key commits nothing";

  EXPECT_TRUE(store->save(text(120, 'k'), "v"));
  EXPECT_EQ(store->status, "Saved / commit 1");
  EXPECT_TRUE(store->save("a", "first"));
  EXPECT_TRUE(store->save("a", "second"));
  EXPECT_EQ(store->status, "Saved / commit 3");
  EXPECT_EQ(store->database.entries.size(), 2u) << "replaced in place";
  EXPECT_EQ(store_get(open_notebook_store(tmp.str())->database, "a").value, "second");
}

TEST(NotebookStore, FailedSaveReadsTheDiskBack) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  ASSERT_TRUE(store->save("kept", "1"));

  // A value the engine refuses.
  EXPECT_FALSE(store->save("big", text(1048577, 'v')));
  EXPECT_EQ(store->status, "Commit failed. Reopened durable data.");

  {
    file_ops_guard guard;
    fail_wal_writes(on_wal_write::fail);
    EXPECT_FALSE(store->save("lost", "2"));
  }
  EXPECT_EQ(store->status, "Commit failed. Reopened durable data.");
  EXPECT_FALSE(store_get(store->database, "lost").found) << "memory matches the disk again";
  EXPECT_FALSE(store->database.dirty);
  EXPECT_EQ(store->database.generation, 1);

  // When the directory no longer opens, the status says why instead of
  // claiming a reopen.
  {
    file_ops_guard guard;
    fail_wal_writes(on_wal_write::fail_and_break_snapshot);
    EXPECT_FALSE(store->save("lost", "3"));
  }
  EXPECT_EQ(store->status, "snapshot header is invalid");
  EXPECT_FALSE(store->database.open);
}

TEST(NotebookStore, ReopenErrorsPassAndKeepTheOldDatabase) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  ASSERT_TRUE(store->save("kept", "1"));
  file_ops_guard guard;
  fail_wal_writes(on_wal_write::fail_and_oversize_snapshot);
  EXPECT_THROW(store->save("new", "2"), tovi_runtime_exception);
  EXPECT_TRUE(store_get(store->database, "new").found) << "the database before the reopen";
  EXPECT_THROW(open_notebook_store(tmp.str()), tovi_runtime_exception);
}

TEST(NotebookStore, DeleteStatuses) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  EXPECT_FALSE(store->delete_key("never"));
  EXPECT_EQ(store->status, "Key does not exist");
  EXPECT_EQ(store->database.generation, 0);

  ASSERT_TRUE(store->save("a", "1"));
  ASSERT_TRUE(store->save("b", "2"));
  EXPECT_TRUE(store->delete_key("a"));
  EXPECT_EQ(store->status, "Deleted");
  EXPECT_EQ(store->database.entries.size(), 1u) << "read back without the tombstone";
  EXPECT_FALSE(store_get(open_notebook_store(tmp.str())->database, "a").found);
  EXPECT_FALSE(store->delete_key("a"));
  EXPECT_EQ(store->status, "Key does not exist");

  {
    file_ops_guard guard;
    fail_wal_writes(on_wal_write::fail);
    EXPECT_FALSE(store->delete_key("b"));
  }
  EXPECT_EQ(store->status, "Delete failed. Reopened durable data.");
  EXPECT_TRUE(store_get(store->database, "b").found);
  {
    file_ops_guard guard;
    fail_wal_writes(on_wal_write::fail_and_break_snapshot);
    EXPECT_FALSE(store->delete_key("b"));
  }
  EXPECT_EQ(store->status, "snapshot header is invalid");
}

}  // namespace
}  // namespace orvi
