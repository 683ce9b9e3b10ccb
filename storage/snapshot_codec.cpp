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
constexpr std::int64_t MIN_ENTRY_BYTES = 2 * LENGTH_BYTES + 1;

// A key's first eight bytes, zero-padded, as a big-endian number: ordering by it
// agrees with ordering by the bytes, so most sort comparisons stay off the strings.
std::uint64_t key_prefix(const text& key) {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < 8; ++i) prefix = (prefix << 8) | (i < key.size() ? std::uint8_t(key[i]) : 0u);
  return prefix;
}

struct sort_item {
  std::uint64_t prefix;
  const store_entry* entry;
};

// Live entries in ascending unsigned key-byte order; equal keys keep their order
// in `entries` (std::string compares bytes as unsigned char).
std::vector<sort_item> sorted_live_entries(const store_record& store) {
  std::vector<sort_item> live;
  live.reserve(store.entries.size());
  for (const auto& e : store.entries) {
    if (!e.deleted) live.push_back({key_prefix(e.key), &e});
  }
  std::stable_sort(live.begin(), live.end(), [](const sort_item& a, const sort_item& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : a.entry->key < b.entry->key;
  });
  return live;
}

// The zigzag form of n, least significant byte first, at out; returns the end.
std::uint8_t* put_zigzag_int32(std::uint8_t* out, std::int32_t n) {
  const std::uint32_t z = (static_cast<std::uint32_t>(n) << 1) ^ (n < 0 ? 0xFFFFFFFFu : 0u);
  for (int shift = 0; shift < 32; shift += 8) *out++ = static_cast<std::uint8_t>(z >> shift);
  return out;
}

std::uint8_t* put_entry_field(std::uint8_t* out, const text& s) {
  out = put_zigzag_int32(out, static_cast<std::int32_t>(s.size()));
  return std::copy(s.begin(), s.end(), out);
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
  std::uint8_t four[4];
  put_zigzag_int32(four, n);
  bytes.insert(bytes.end(), std::begin(four), std::end(four));
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
  // The low 30 bits of a product and of an XOR depend only on the low 30 bits
  // of their inputs, so masking once at the end gives the per-byte result and
  // takes one step out of this latency-bound loop.
  const std::uint8_t* p = bytes.data();
  for (std::int32_t i = 0; i < n; ++i) h = (h * CHECKSUM_PRIME) ^ p[i];
  return static_cast<std::int32_t>(h & CHECKSUM_MASK);
}

std::int64_t encoded_snapshot_size(const store_record& store) {
  return is_valid_store(store) ? live_payload_size(store) : -1;
}

byte_vector encode_snapshot(const store_record& store) {
  if (!is_valid_store(store)) return {};
  // Sized exactly up front and filled through a pointer: appending byte by byte
  // costs a capacity check and a reload of the vector's end for every byte.
  byte_vector bytes(static_cast<std::size_t>(live_payload_size(store)));
  std::uint8_t* out = std::copy(std::begin(MAGIC), std::end(MAGIC), bytes.data());
  out = put_zigzag_int32(out, store.format_version);
  out = put_zigzag_int32(out, store.generation);
  const auto live = sorted_live_entries(store);
  out = put_zigzag_int32(out, static_cast<std::int32_t>(live.size()));
  for (const sort_item& item : live) {
    out = put_entry_field(out, item.entry->key);
    out = put_entry_field(out, item.entry->value);
  }
  const auto body = static_cast<std::int32_t>(out - bytes.data());
  put_zigzag_int32(out, snapshot_checksum(bytes, body));
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
  // An entry takes at least 9 bytes, so a count the file cannot hold reserves no more.
  store.entries.reserve(std::min<std::int64_t>(count, (end - HEADER_BYTES) / MIN_ENTRY_BYTES));
  // While keys arrive strictly ascending, as the encoder writes them, a new key
  // cannot repeat an earlier one; the index is only built at the first key out
  // of order. It maps a key's hash to entry positions, never into the entries,
  // so it stays valid however the entries grow.
  std::unordered_multimap<std::size_t, std::size_t> index;
  const std::hash<std::string_view> hash_of;
  bool ascending = true;

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

    if (ascending && (store.entries.empty() || store.entries.back().key < key)) {
      store.entries.push_back({std::move(key), std::move(value), 0});
    } else {
      if (ascending) {
        ascending = false;
        index.reserve(store.entries.capacity());
        for (std::size_t i = 0; i < store.entries.size(); ++i) index.emplace(hash_of(store.entries[i].key), i);
      }
      // store_put's effect with a hash lookup: a repeated key keeps its first
      // place and takes the last value.
      const std::size_t hash = hash_of(key);
      auto [at, last] = index.equal_range(hash);
      while (at != last && store.entries[at->second].key != key) ++at;
      if (at != last) {
        store.entries[at->second].value = std::move(value);
      } else {
        index.emplace(hash, store.entries.size());
        store.entries.push_back({std::move(key), std::move(value), 0});
      }
    }
    p += key_length + LENGTH_BYTES + value_length;
  }
  if (p != end) return failed_store(directory, "snapshot has trailing bytes");
  store.dirty = 0;
  return store;
}

}  // namespace orvi
