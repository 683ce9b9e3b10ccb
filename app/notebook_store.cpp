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

void notebook_store::reopen(const char* done) {
  database = open_store(directory);
  status = database.open ? text(done) : database.status;
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
  if (store_put(database, key, value) && commit_store(database)) {
    status = format_placeholders("Saved / commit {0}", {std::to_string(database.generation)});
    return true;
  }
  reopen("Commit failed. Reopened durable data.");
  return false;
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
  if (committed) {
    // The deletion is durable whatever the reopen finds.
    database = open_store(directory);
    status = "Deleted";
  } else {
    reopen("Delete failed. Reopened durable data.");
  }
  return committed;
}

}  // namespace orvi
