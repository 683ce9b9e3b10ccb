#include "app/notebook_store.hpp"

#include "runtime/format.hpp"
#include "storage/durable_store.hpp"

namespace orvi {

std::shared_ptr<notebook_store> open_notebook_store(const text& directory) {
  return std::make_shared<notebook_store>(notebook_store::passkey{}, directory);
}

notebook_store::notebook_store(passkey, const text& directory_text) : directory(directory_text) {
  database = open_store(directory);
  if (!database.open) status = database.status;
}

bool notebook_store::save(text key, text value) {
  if (key.empty() || key.size() > MAX_NOTEBOOK_KEY_BYTES) {
    status = "Use a key of 1 to 120 bytes";
    return false;
  }
  if (!database.open) {
    status = database.status;
    return false;
  }
  if (!store_put(database, key, value) || !commit_store(database)) {
    // Drops what the failed attempt left in memory. A commit that failed after
    // forcing its write-ahead copy is completed here, and then it is saved.
    database = open_store(directory);
    const store_lookup stored = store_get(database, key);
    if (!database.open || !stored.found || stored.value != value) {
      status = database.open ? text("Commit failed. Reopened durable data.") : database.status;
      return false;
    }
  }
  status = format_placeholders("Saved / commit {0}", {std::to_string(database.generation)});
  return true;
}

bool notebook_store::delete_key(text key) {
  if (!database.open || !store_get(database, key).found) {
    status = "Key does not exist";
    return false;
  }
  auto& entry = database.entries[static_cast<std::size_t>(store_index_of(database, key))];
  entry.deleted = 1;
  database.dirty = 1;
  const bool committed = commit_store(database);
  // Read back from disk, which also drops the tombstone. A commit that failed
  // after forcing its write-ahead copy is completed here, and then it is deleted.
  database = open_store(directory);
  if (committed || (database.open && !store_get(database, key).found)) {
    status = "Deleted";
    return true;
  }
  status = database.open ? text("Delete failed. Reopened durable data.") : database.status;
  return false;
}

}  // namespace orvi
