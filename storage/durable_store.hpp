// Binding a store record to its directory: open with recovery, durable commit.
//
// A commit writes the whole next snapshot to "store.wal.cordvex" and forces it,
// writes it again to "store.next.cordvex", forces that, renames it over
// "store.cordvex", and only then removes the write-ahead copy. The directory
// therefore always holds a complete snapshot, and possibly a complete copy of
// the next one, from which open_store recovers.
#pragma once

#include "storage/store_record.hpp"

namespace orvi {

// Open with the directory's durable content, or a failed store with a message.
// Raises tovi_runtime_exception when a file is over 2097152 bytes or unreadable,
// and std::invalid_argument for a zero byte in a stored key or value.
store_record open_store(const text& directory);

// True when the store's changes are durable (or it had none). On false the
// generation is as before and `dirty` still set.
bool commit_store(store_record& store);

bool promote_snapshot(const text& directory, const byte_vector& bytes);
bool flush_file_by_path(const text& path);
text snapshot_path(const text& directory);
text wal_path(const text& directory);
bool is_regular_file(const text& path);
void remove_file_quietly(const text& path);

}  // namespace orvi
