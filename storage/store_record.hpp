// One CordvexDB store held in memory as a plain value, and its rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text.hpp"

namespace orvi {

inline constexpr std::int32_t MAX_KEY_BYTES = 4096;
inline constexpr std::int32_t MAX_VALUE_BYTES = 1048576;
inline constexpr std::int32_t MAX_ENTRIES = 65536;
inline constexpr std::int32_t DEFAULT_BYTE_BUDGET = 2097152;
inline constexpr std::int32_t MIN_BYTE_BUDGET = 1024;
inline constexpr std::int32_t MAX_BYTE_BUDGET = 268435456;
inline constexpr std::int32_t SNAPSHOT_FORMAT_VERSION = 1;
inline constexpr const char* STORE_SCHEMA_ID = "cordvex.store.v1";

struct store_entry {
  text key;
  text value;
  std::uint8_t deleted = 0;  // a tombstone until the store is read back from disk
};

struct store_record {
  text schema_id;
  std::int32_t format_version = 0;
  text directory;
  std::int32_t generation = 0;
  std::int32_t byte_budget = 0;
  std::vector<store_entry> entries;
  std::uint8_t dirty = 0;
  std::uint8_t open = 0;
  text status;
};

struct store_lookup {
  std::uint8_t found = 0;
  text value;
};

store_record new_empty_store(const text& directory);
store_record failed_store(const text& directory, const text& message);

bool is_valid_store_key(const text& key);
bool is_valid_store_entry(const store_entry& entry);
bool is_valid_store(const store_record& store);

// Index of the entry with this key, deleted or not; -1 when absent.
std::int32_t store_index_of(const store_record& store, const text& key);
store_lookup store_get(const store_record& store, const text& key);

// Replaces or appends; false (store untouched) for an invalid entry or a key or
// value holding a zero byte, which no snapshot could ever be read back with.
bool store_put(store_record& store, const text& key, const text& value);

std::int32_t live_entry_count(const store_record& store);

byte_vector text_to_byte_vector(const text& s);

}  // namespace orvi
