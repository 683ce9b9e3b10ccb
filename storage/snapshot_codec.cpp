#include "storage/snapshot_codec.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace orvi {

namespace {

constexpr std::uint8_t MAGIC[4] = {'C', 'V', 'X', '1'};
constexpr std::uint32_t CHECKSUM_START = 0x0CE942FA;
constexpr std::uint32_t CHECKSUM_PRIME = 0x01000193;
constexpr std::uint32_t CHECKSUM_MASK = 0x3FFFFFFF;
constexpr std::int64_t HEADER_BYTES = 16;
constexpr std::int64_t CHECKSUM_BYTES = 4;
constexpr std::int64_t LENGTH_BYTES = 4;

// Live entries in ascending unsigned key-byte order; equal keys keep their order
// in `entries` (std::string compares bytes as unsigned char).
std::vector<const store_entry*> sorted_live_entries(const store_record& store) {
  std::vector<const store_entry*> live;
  live.reserve(store.entries.size());
  for (const auto& e : store.entries) {
    if (!e.deleted) live.push_back(&e);
  }
  std::stable_sort(live.begin(), live.end(),
                   [](const store_entry* a, const store_entry* b) { return a->key < b->key; });
  return live;
}

std::int64_t live_payload_size(const store_record& store) {
  std::int64_t size = HEADER_BYTES + CHECKSUM_BYTES;
  for (const auto& e : store.entries) {
    if (!e.deleted) size += 2 * LENGTH_BYTES + static_cast<std::int64_t>(e.key.size() + e.value.size());
  }
  return size;
}

}  // namespace

int byte_value(std::int8_t byte) { return static_cast<std::uint8_t>(byte); }

std::int8_t int_to_byte(int n) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(n & 0xFF)); }

void write_zigzag_int32(byte_vector& bytes, std::int32_t n) {
  const std::uint32_t u = static_cast<std::uint32_t>(n);
  const std::uint32_t z = (u << 1) ^ (n < 0 ? 0xFFFFFFFFu : 0u);
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(z >> shift));
}

std::int32_t read_zigzag_int32(const byte_vector& bytes, std::int32_t offset) {
  const auto* p = bytes.data() + offset;
  const std::uint32_t z =
      std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
  return static_cast<std::int32_t>((z >> 1) ^ (0u - (z & 1u)));
}

void write_entry_field(byte_vector& bytes, const text& s) {
  write_zigzag_int32(bytes, static_cast<std::int32_t>(s.size()));
  bytes.insert(bytes.end(), s.begin(), s.end());
}

std::int32_t snapshot_checksum(const byte_vector& bytes, std::int32_t length) {
  std::uint32_t h = CHECKSUM_START;
  const std::int32_t n = std::min<std::int64_t>(length, static_cast<std::int64_t>(bytes.size()));
  for (std::int32_t i = 0; i < n; ++i) h = ((h * CHECKSUM_PRIME) ^ bytes[static_cast<std::size_t>(i)]) & CHECKSUM_MASK;
  return static_cast<std::int32_t>(h);
}

std::int64_t encoded_snapshot_size(const store_record& store) {
  return is_valid_store(store) ? live_payload_size(store) : -1;
}

byte_vector encode_snapshot(const store_record& store) {
  if (!is_valid_store(store)) return {};
  byte_vector bytes;
  bytes.reserve(static_cast<std::size_t>(live_payload_size(store)));
  bytes.insert(bytes.end(), std::begin(MAGIC), std::end(MAGIC));
  write_zigzag_int32(bytes, store.format_version);
  write_zigzag_int32(bytes, store.generation);
  const auto live = sorted_live_entries(store);
  write_zigzag_int32(bytes, static_cast<std::int32_t>(live.size()));
  for (const store_entry* e : live) {
    write_entry_field(bytes, e->key);
    write_entry_field(bytes, e->value);
  }
  write_zigzag_int32(bytes, snapshot_checksum(bytes, static_cast<std::int32_t>(bytes.size())));
  return bytes;
}

store_record decode_snapshot(const byte_vector& bytes, const text& directory) {
  const std::int64_t size = static_cast<std::int64_t>(bytes.size());
  if (size < MIN_SNAPSHOT_FILE_BYTES || size > MAX_SNAPSHOT_FILE_BYTES ||
      !std::equal(std::begin(MAGIC), std::end(MAGIC), bytes.begin())) {
    return failed_store(directory, "snapshot header is invalid");
  }
  const auto end = static_cast<std::int32_t>(size - CHECKSUM_BYTES);
  if (read_zigzag_int32(bytes, end) != snapshot_checksum(bytes, end)) {
    return failed_store(directory, "snapshot checksum is invalid");
  }
  const std::int32_t generation = read_zigzag_int32(bytes, 8);
  const auto count = static_cast<std::uint32_t>(read_zigzag_int32(bytes, 12));
  if (read_zigzag_int32(bytes, 4) != SNAPSHOT_FORMAT_VERSION || generation < 0 || count > MAX_ENTRIES) {
    return failed_store(directory, "snapshot metadata is invalid");
  }

  store_record store = new_empty_store(directory);
  store.generation = generation;
  // Reserved up front so the views in `index` stay valid: keys never move.
  store.entries.reserve(count);
  std::unordered_map<std::string_view, std::size_t> index;
  index.reserve(count);

  std::int64_t p = HEADER_BYTES;
  for (std::uint32_t n = 0; n < count; ++n) {
    if (p + 2 * LENGTH_BYTES > end) return failed_store(directory, "snapshot entry header is truncated");
    const std::int32_t key_length = read_zigzag_int32(bytes, static_cast<std::int32_t>(p));
    p += LENGTH_BYTES;
    if (key_length < 1 || key_length > MAX_KEY_BYTES || p + key_length + LENGTH_BYTES > end) {
      return failed_store(directory, "snapshot key is invalid");
    }
    text key = text_from_utf8(bytes, static_cast<std::int32_t>(p), key_length);
    const auto value_length =
        static_cast<std::uint32_t>(read_zigzag_int32(bytes, static_cast<std::int32_t>(p + key_length)));
    if (value_length > MAX_VALUE_BYTES || p + key_length + LENGTH_BYTES + value_length > end) {
      return failed_store(directory, "snapshot value is invalid");
    }
    text value = text_from_utf8(bytes, static_cast<std::int32_t>(p + key_length + LENGTH_BYTES),
                                static_cast<std::int32_t>(value_length));
    if (!is_valid_store_key(key) || value.size() > MAX_VALUE_BYTES) {
      return failed_store(directory, "snapshot contains an invalid entry");
    }

    // store_put's effect with a hash lookup: a repeated key keeps its first
    // place and takes the last value.
    if (const auto found = index.find(key); found != index.end()) {
      store.entries[found->second].value = std::move(value);
    } else {
      store.entries.push_back({std::move(key), std::move(value), 0});
      index.emplace(store.entries.back().key, store.entries.size() - 1);
    }
    p += key_length + LENGTH_BYTES + value_length;
  }
  if (p != end) return failed_store(directory, "snapshot has trailing bytes");
  store.dirty = 0;
  return store;
}

}  // namespace orvi
