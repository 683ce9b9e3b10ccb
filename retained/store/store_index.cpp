// The store's own hashed index: one chain per bucket, new keys at the head.
// Inserts count their probes into the store; staged lookups into the
// admission being staged; plain lookups count nothing.
//
// A lookup does not walk the chain: a side table finds the node directly, and
// the count of nodes the walk would have visited follows from the chain's
// length and the node's place in it. The chains themselves are kept as well.
#include <functional>
#include <string_view>

#include "retained/model/index.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

namespace {

constexpr std::size_t MIN_SLOTS = 1024;

std::uint64_t key_hash(std::string_view key) { return std::hash<std::string_view>{}(key); }

std::uint64_t slot_of(std::uint64_t hash, std::size_t node) {
  return (hash & 0xFFFFFFFF00000000u) | (static_cast<std::uint64_t>(node) + 1);
}

void place(std::vector<std::uint64_t>& slots, std::uint64_t hash, std::size_t node) {
  const std::size_t mask = slots.size() - 1;
  std::size_t i = static_cast<std::size_t>(hash) & mask;
  while (slots[i] != 0) i = (i + 1) & mask;
  slots[i] = slot_of(hash, node);
}

// The table stays at most half full, so a free slot always ends a search.
void make_room(store_index_columns& index) {
  if ((index.keys.size() + 1) * 2 <= index.slots.size()) return;
  std::size_t capacity = MIN_SLOTS;
  while (capacity < (index.keys.size() + 1) * 4) capacity *= 2;
  index.slots.assign(capacity, 0);
  for (std::size_t n = 0; n < index.keys.size(); ++n) place(index.slots, key_hash(index.keys[n]), n);
}

// The node holding the key, or -1.
std::int32_t node_of(const store_index_columns& index, const text& key, std::uint64_t hash) {
  if (index.slots.empty()) return -1;
  const std::size_t mask = index.slots.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    const std::uint64_t slot = index.slots[i];
    if (slot == 0) return -1;
    if ((slot >> 32) != (hash >> 32)) continue;
    const std::size_t node = static_cast<std::size_t>(slot & 0xFFFFFFFFu) - 1;
    if (index.keys[node] == key) return static_cast<std::int32_t>(node);
  }
}

// Bucket of the key, or -1 when the index has no heads (a closed store).
std::int32_t bucket_of(const store_index_columns& index, const text& key) {
  if (index.heads.empty()) return -1;
  const std::int32_t bucket = hash_resource_text(key, static_cast<std::int32_t>(index.bucket_count));
  if (bucket < 0 || static_cast<std::size_t>(bucket) >= index.heads.size()) return -1;
  return bucket;
}

// Nodes the walk from the head of the bucket visits before it stops: up to and
// including the node, or the whole chain when there is none.
std::uint32_t visited(const store_index_columns& index, std::int32_t bucket, std::int32_t node) {
  const std::uint32_t length = index.chain_lengths[static_cast<std::size_t>(bucket)];
  return node == -1 ? length : length - index.chain_positions[static_cast<std::size_t>(node)];
}

// The value under the key or -1; the nodes visited are added to probes.
std::int32_t lookup(const store_index_columns& index, const text& key, std::uint32_t& probes) {
  const std::int32_t bucket = bucket_of(index, key);
  if (bucket == -1) return -1;
  const std::int32_t node = node_of(index, key, key_hash(key));
  probes += visited(index, bucket, node);
  return node == -1 ? -1 : static_cast<std::int32_t>(index.values[static_cast<std::size_t>(node)]);
}

}  // namespace

void retained_resource_store::index_put(const text& key, std::uint32_t value) {
  store_index_columns& index = store_index;
  const std::int32_t bucket = bucket_of(index, key);
  if (bucket == -1) return;  // closed: nothing can be stored any more
  const std::uint64_t hash = key_hash(key);
  const std::int32_t node = node_of(index, key, hash);
  index.probe_total += visited(index, bucket, node);
  if (node != -1) {
    index.values[static_cast<std::size_t>(node)] = value;
    return;
  }
  const auto b = static_cast<std::size_t>(bucket);
  make_room(index);
  index.keys.push_back(key);
  index.values.push_back(value);
  index.next.push_back(index.heads[b]);
  index.heads[b] = static_cast<std::int32_t>(index.keys.size() - 1);
  index.chain_positions.push_back(index.chain_lengths[b]++);
  place(index.slots, hash, index.keys.size() - 1);
}

std::int32_t retained_resource_store::index_get(preflight_result& result, const text& key) {
  return lookup(store_index, key, result.index_probes);
}

std::int32_t retained_resource_store::index_find_key(const text& key) {
  std::uint32_t uncounted = 0;
  return lookup(store_index, key, uncounted);
}

std::uint32_t retained_resource_store::index_node_count() {
  return static_cast<std::uint32_t>(store_index.keys.size());
}

std::uint32_t retained_resource_store::index_bucket_count() { return store_index.bucket_count; }

std::uint32_t retained_resource_store::index_probe_total() { return store_index.probe_total; }

}  // namespace orvi
