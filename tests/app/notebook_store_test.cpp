#include "app/notebook_store.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"
#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/file_ops_guard.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {

// Saves `value` under `key`, or deletes `key` when `value` is null: the result
// and the status after it, or the code of the error it raised.
std::tuple<bool, text> act(notebook_store& store, const text& key, const char* value) try {
  const bool result = value ? store.save(key, value) : store.delete_key(key);
  return {result, store.status};
} catch (const tovi_runtime_exception& e) {
  return {false, e.record().code};
}

TEST(NotebookStore, StatusesOfOpenSaveAndDelete) {
  testing::temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {}));
  const auto failed = open_notebook_store(tmp.file("file")), store = open_notebook_store(tmp.file("db"));
  EXPECT_EQ(std::tie(failed->status, store->status), std::make_tuple("database directory is unavailable", "Ready"));
  EXPECT_EQ(act(*failed, "k", nullptr), std::make_tuple(false, "Key does not exist"));
  EXPECT_EQ(act(*failed, "k", "v"), std::make_tuple(false, "database directory is unavailable"));
  // An action (a null value deletes), its result and the status after it.
  const std::tuple<text, const char*, bool, const char*> steps[] = {
      {"", "v", false, "Use a key of 1 to 120 bytes"},
      {text(121, 'k'), "v", false, "Use a key of 1 to 120 bytes"},
      {"never", nullptr, false, "Key does not exist"},
      {text(120, 'k'), "v", true, "Saved / commit 1"},
      {"a", "first", true, "Saved / commit 2"},
      {"a", "second", true, "Saved / commit 3"},
      {"a", nullptr, true, "Deleted"},
      {"a", nullptr, false, "Key does not exist"}};
  for (const auto& [key, value, result, status] : steps) {
    EXPECT_EQ(act(*store, key, value), std::make_tuple(result, status));
    // Memory matches the disk: replaced in place, read back without the tombstone.
    const store_record& memory = store->database;
    const store_record disk = open_store(tmp.file("db"));
    EXPECT_EQ(std::make_tuple(memory.generation, memory.entries.size(), store_get(memory, "a").value),
              std::make_tuple(disk.generation, disk.entries.size(), store_get(disk, "a").value))
        << status;
  }
}

// The next `failing_writes` file writes and `failing_renames` renames fail.
int failing_writes, failing_renames;
void fake_file_calls(int writes, int renames) {
  failing_writes = writes, failing_renames = renames;
  active_store_file_ops().write_file = [](const text& path, const byte_vector& bytes) {
    return failing_writes-- <= 0 && platform_store_file_ops().write_file(path, bytes);
  };
  active_store_file_ops().replace_file = [](const std::filesystem::path& from, const std::filesystem::path& to) {
    return failing_renames-- <= 0 && platform_store_file_ops().replace_file(from, to);
  };
}

// A failed save or delete reads the disk back (the snapshot, spoiled or not);
// when the directory no longer opens, the status gives the open's message
// instead of claiming a reopen. A commit that fails at its rename, after
// forcing its write-ahead copy, is completed by the reopen: then it reports
// success. A reopen that raises passes its error on and leaves the database
// as it was.
TEST(NotebookStore, FailedCommitsReadTheDiskBack) {
  // Deleting or saving "2" over "k" = "1"; failing writes and renames, the
  // snapshot the reopen finds; then the result, the status and "k" after it.
  const std::tuple<bool, int, int, text, bool, const char*, text> rows[] = {
      {false, 1, 0, "", false, "Commit failed. Reopened durable data.", "1"},
      {true, 1, 0, "", false, "Delete failed. Reopened durable data.", "1"},
      {false, 1, 0, "broken", false, "snapshot header is invalid", ""},
      {true, 1, 0, "broken", false, "snapshot header is invalid", ""},
      {false, 0, 1, "", true, "Saved / commit 2", "2"},
      {true, 0, 1, "", true, "Deleted", ""},
      {false, 0, 1000, "", false, "write-ahead recovery could not promote the durable snapshot", "2"},
      {true, 0, 1000, "", false, "write-ahead recovery could not promote the durable snapshot", ""},
      {false, 1, 0, text(MAX_SNAPSHOT_FILE_BYTES + 1, 0), false, "file.read.limit", "2"},
      {true, 1, 0, text(MAX_SNAPSHOT_FILE_BYTES + 1, 0), false, "file.read.limit", ""}};
  for (const auto& [deleting, writes, renames, snapshot, result, status, after] : rows) {
    SCOPED_TRACE(::testing::Message() << deleting << " " << status);
    testing::temp_dir tmp;
    const auto store = open_notebook_store(tmp.str());
    ASSERT_TRUE(store->save("k", "1"));
    ASSERT_TRUE(snapshot.empty() || write_file_bytes(snapshot_path(tmp.str()), text_to_byte_vector(snapshot)));
    testing::file_ops_guard guard;
    fake_file_calls(writes, renames);
    EXPECT_EQ(act(*store, "k", deleting ? nullptr : "2"), std::make_tuple(result, status));
    EXPECT_EQ(store_get(store->database, "k").value, after);
  }
}

}  // namespace orvi
