#include "storage/store_record.hpp"

#include <algorithm>

namespace orvi {

store_record new_empty_store(const text& directory) {
  store_record store;
  store.schema_id = STORE_SCHEMA_ID;
  store.format_version = SNAPSHOT_FORMAT_VERSION;
  store.directory = directory;
  store.generation = 0;
  store.byte_budget = DEFAULT_BYTE_BUDGET;
  store.dirty = 0;
  store.open = 1;
  store.status = "ok";
  return store;
}

store_record failed_store(const text& directory, const text& message) {
  store_record store = new_empty_store(directory);
  store.open = 0;
  store.status = message;
  return store;
}

bool is_valid_store_key(const text& key) { return !key.empty() && key.size() <= MAX_KEY_BYTES; }

bool is_valid_store_entry(const store_entry& entry) {
  return is_valid_store_key(entry.key) && entry.value.size() <= MAX_VALUE_BYTES;
}

bool is_valid_store(const store_record& store) {
  return store.schema_id == STORE_SCHEMA_ID && store.format_version == SNAPSHOT_FORMAT_VERSION &&
         is_valid_store_key(store.directory) && store.generation >= 0 && store.byte_budget >= MIN_BYTE_BUDGET &&
         store.byte_budget <= MAX_BYTE_BUDGET && store.entries.size() <= MAX_ENTRIES &&
         std::all_of(store.entries.begin(), store.entries.end(), is_valid_store_entry);
}

std::int32_t store_index_of(const store_record& store, const text& key) {
  for (std::size_t i = 0; i < store.entries.size(); ++i) {
    if (store.entries[i].key == key) return static_cast<std::int32_t>(i);
  }
  return -1;
}

store_lookup store_get(const store_record& store, const text& key) {
  const std::int32_t i = store_index_of(store, key);
  if (i < 0 || store.entries[static_cast<std::size_t>(i)].deleted) return {};
  return {1, store.entries[static_cast<std::size_t>(i)].value};
}

bool store_put(store_record& store, const text& key, const text& value) {
  if (!is_valid_store_key(key) || value.size() > MAX_VALUE_BYTES) return false;
  if (key.find('\0') != text::npos || value.find('\0') != text::npos) return false;
  const std::int32_t i = store_index_of(store, key);
  if (i < 0) {
    store.entries.push_back({key, value, 0});
  } else {
    auto& entry = store.entries[static_cast<std::size_t>(i)];
    entry.value = value;
    entry.deleted = 0;
  }
  store.dirty = 1;
  return true;
}

std::int32_t live_entry_count(const store_record& store) {
  return static_cast<std::int32_t>(
      std::count_if(store.entries.begin(), store.entries.end(), [](const store_entry& e) { return !e.deleted; }));
}

byte_vector text_to_byte_vector(const text& s) { return byte_vector(s.begin(), s.end()); }

}  // namespace orvi
