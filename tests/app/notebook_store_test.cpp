#include "app/notebook_store.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "runtime/errors.hpp"
#include "runtime/file_access.hpp"
#include "storage/durable_store.hpp"
#include "tests/support/file_ops_guard.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::file_ops_guard;
using testing::temp_dir;

// Unless `spoil` is null, every write of the write-ahead copy fails, so the
// commit fails, and first writes `spoil` over the snapshot unless it is empty,
// to spoil the reopen. Every rename fails while `failing_renames` is above zero.
const byte_vector* spoil;
int failing_renames;
void fake_file_calls(const byte_vector* spoil_snapshot, int renames = 0) {
  spoil = spoil_snapshot;
  failing_renames = renames;
  active_store_file_ops().write_file = [](const text& path, const byte_vector& bytes) {
    if (!spoil || !path.ends_with("store.wal.cordvex")) return platform_store_file_ops().write_file(path, bytes);
    if (!spoil->empty()) write_file_bytes(path.substr(0, path.size() - 17) + "store.cordvex", *spoil);
    return false;
  };
  active_store_file_ops().replace_file = [](const std::filesystem::path& from, const std::filesystem::path& to) {
    return failing_renames-- <= 0 && platform_store_file_ops().replace_file(from, to);
  };
}

TEST(NotebookStore, StatusesOfOpenSaveAndDelete) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {}));
  const auto failed = open_notebook_store(tmp.file("file"));
  EXPECT_EQ(failed->status, "database directory is unavailable");
  EXPECT_FALSE(failed->delete_key("k"));
  EXPECT_EQ(failed->status, "Key does not exist");
  EXPECT_FALSE(failed->save("k", "v"));
  EXPECT_EQ(failed->status, "database directory is unavailable");

  const auto store = open_notebook_store(tmp.file("db"));
  EXPECT_EQ(store->status, "Ready");
  // An action; its result, the status and the generation after it.
  const std::tuple<std::function<bool()>, bool, const char*, int> steps[] = {
      {[&] { return store->save("", "v"); }, false, "Use a key of 1 to 120 bytes", 0},
      {[&] { return store->save(text(121, 'k'), "v"); }, false, "Use a key of 1 to 120 bytes", 0},
      {[&] { return store->delete_key("never"); }, false, "Key does not exist", 0},
      {[&] { return store->save(text(120, 'k'), "v"); }, true, "Saved / commit 1", 1},
      {[&] { return store->save("a", "first"); }, true, "Saved / commit 2", 2},
      {[&] { return store->save("a", "second"); }, true, "Saved / commit 3", 3},
      {[&] { return store->delete_key("a"); }, true, "Deleted", 4},
      {[&] { return store->delete_key("a"); }, false, "Key does not exist", 4},
  };
  for (const auto& [action, result, status, generation] : steps) {
    EXPECT_EQ(action(), result) << status;
    EXPECT_EQ(std::make_tuple(store->status, store->database.generation), std::make_tuple(status, generation));
    // Memory matches the disk: replaced in place, read back without the tombstone.
    const auto reopened = open_notebook_store(tmp.file("db"));
    EXPECT_EQ(std::make_tuple(store->database.entries.size(), store_get(store->database, "a").value),
              std::make_tuple(reopened->database.entries.size(), store_get(reopened->database, "a").value));
  }
}

// A failed save or delete reads the disk back; when the directory no longer
// opens, the status gives the open's message instead of claiming a reopen. A
// commit that fails at its rename, after forcing its write-ahead copy, is
// completed by the reopen: then it reports success.
TEST(NotebookStore, FailedCommitsReadTheDiskBack) {
  const byte_vector broken = text_to_byte_vector("broken"), none;
  for (const bool deleting : {false, true}) {
    // The failure; then the result, the status and the value of "k" after it.
    const std::tuple<const byte_vector*, int, bool, const char*, const char*> rows[] = {
        {&none, 0, false, deleting ? "Delete failed. Reopened durable data." : "Commit failed. Reopened durable data.",
         "1"},
        {&broken, 0, false, "snapshot header is invalid", ""},
        {nullptr, 1, true, deleting ? "Deleted" : "Saved / commit 2", deleting ? "" : "2"},
        {nullptr, 1000, false, "write-ahead recovery could not promote the durable snapshot", deleting ? "" : "2"},
    };
    for (const auto& [spoiled, renames, result, status, value] : rows) {
      SCOPED_TRACE(::testing::Message() << deleting << " " << status);
      temp_dir tmp;
      const auto store = open_notebook_store(tmp.str());
      ASSERT_TRUE(store->save("k", "1"));
      file_ops_guard guard;
      fake_file_calls(spoiled, renames);
      EXPECT_EQ(deleting ? store->delete_key("k") : store->save("k", "2"), result);
      EXPECT_EQ(std::make_tuple(store->status, store_get(store->database, "k").value), std::make_tuple(status, value));
    }
  }
}

TEST(NotebookStore, ReopenErrorsPassAndKeepTheOldDatabase) {
  temp_dir tmp;
  const auto store = open_notebook_store(tmp.str());
  ASSERT_TRUE(store->save("kept", "1"));
  file_ops_guard guard;
  const byte_vector oversized(2097153, 0);
  fake_file_calls(&oversized);
  EXPECT_THROW(store->save("new", "2"), tovi_runtime_exception);
  EXPECT_TRUE(store_get(store->database, "new").found) << "the database before the reopen";
  EXPECT_THROW(open_notebook_store(tmp.str()), tovi_runtime_exception);
}

}  // namespace
}  // namespace orvi
