#include "storage/durable_store.hpp"

#include <algorithm>
#include <limits>

#include "runtime/file_access.hpp"
#include "runtime/format.hpp"
#include "storage/file_ops.hpp"
#include "storage/snapshot_codec.hpp"

namespace orvi {

namespace {

constexpr const char* DIRECTORY_UNAVAILABLE = "database directory is unavailable";
constexpr const char* RECOVERY_FAILED = "write-ahead recovery could not promote the durable snapshot";

text next_path(const text& directory) { return format_placeholders("{0}/store.next.cordvex", {directory}); }

file_kind kind_of(const text& path) {
  if (path.empty()) return file_kind::absent;
  const auto native = to_platform_path(path);
  if (!native) return file_kind::absent;
  return active_store_file_ops().query_kind(*native);
}

// Absent means not found: a file whose type query failed for another reason
// (access denied, sharing) is read, so its read error surfaces instead of an
// empty store that the next commit would write over the real data.
bool may_exist(const text& path) {
  const file_kind kind = kind_of(path);
  return kind == file_kind::regular || kind == file_kind::unknown;
}

store_record read_snapshot_file(const text& path, const text& directory) {
  return decode_snapshot(read_file_bounded(path, MAX_SNAPSHOT_FILE_BYTES), directory);
}

bool prepare_directory(const text& directory) {
  try {
    if (directory.empty()) return false;
    const auto native = to_platform_path(directory);
    if (!native) return false;
    std::error_code ec;
    const bool created = std::filesystem::create_directory(*native, ec);
    if (ec) return false;
    return created || std::filesystem::is_directory(*native, ec);
  } catch (...) {
    return false;
  }
}

}  // namespace

text snapshot_path(const text& directory) { return format_placeholders("{0}/store.cordvex", {directory}); }

text wal_path(const text& directory) { return format_placeholders("{0}/store.wal.cordvex", {directory}); }

bool is_regular_file(const text& path) { return kind_of(path) == file_kind::regular; }

void remove_file_quietly(const text& path) {
  if (path.empty()) return;
  if (const auto native = to_platform_path(path)) active_store_file_ops().remove_file(*native);
}

bool flush_file_by_path(const text& path) {
  if (path.empty()) return false;
  const auto native = to_platform_path(path);
  return native && active_store_file_ops().flush_file(*native);
}

bool promote_snapshot(const text& directory, const byte_vector& bytes) {
  const text temporary = next_path(directory);
  const text snapshot = snapshot_path(directory);
  if (!active_store_file_ops().write_file(temporary, bytes)) return false;
  if (!flush_file_by_path(temporary)) {
    remove_file_quietly(temporary);
    return false;
  }
  if (!temporary.empty() && !snapshot.empty() && temporary != snapshot) {
    const auto from = to_platform_path(temporary);
    const auto to = to_platform_path(snapshot);
    if (from && to && active_store_file_ops().replace_file(*from, *to)) return true;
  }
  remove_file_quietly(temporary);
  return false;
}

bool commit_store(store_record& store) {
  if (!store.open || !is_valid_store(store)) return false;
  if (!store.dirty) return true;
  // The next generation must stay a valid one (signed overflow is undefined).
  if (store.generation == std::numeric_limits<std::int32_t>::max()) return false;

  // Sized before encoding, so an oversized store costs no allocation. Never
  // write more than open_store will read back.
  const std::int64_t limit = std::min(store.byte_budget, MAX_SNAPSHOT_FILE_BYTES);
  const std::int64_t size = encoded_snapshot_size(store);
  if (size < 0 || size > limit) return false;

  store.generation += 1;
  const byte_vector bytes = encode_snapshot(store);
  const text wal = wal_path(store.directory);
  if (bytes.empty() || !active_store_file_ops().write_file(wal, bytes) || !flush_file_by_path(wal) ||
      !promote_snapshot(store.directory, bytes)) {
    // The record stays as before the commit; files stay as the failing step left them.
    store.generation -= 1;
    return false;
  }
  remove_file_quietly(wal);
  store.dirty = 0;
  store.status = "ok";
  return true;
}

store_record open_store(const text& directory) {
  if (!prepare_directory(directory)) return failed_store(directory, DIRECTORY_UNAVAILABLE);

  const text snapshot = snapshot_path(directory);
  const text wal = wal_path(directory);
  store_record store = may_exist(snapshot) ? read_snapshot_file(snapshot, directory) : new_empty_store(directory);
  if (!may_exist(wal)) return store;

  store_record ahead = read_snapshot_file(wal, directory);
  if (!ahead.open || (store.open && ahead.generation < store.generation)) {
    // A stale or torn copy: the snapshot is the durable state. When the
    // snapshot is broken too, both stay for inspection.
    if (store.open) remove_file_quietly(wal);
    return store;
  }

  const byte_vector bytes = encode_snapshot(ahead);
  if (!bytes.empty() && promote_snapshot(directory, bytes)) {
    remove_file_quietly(wal);
    return ahead;
  }
  ahead.open = 0;
  ahead.status = RECOVERY_FAILED;
  return ahead;
}

}  // namespace orvi
