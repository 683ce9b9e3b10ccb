// The store's own hashed index: one chain per bucket, new keys at the head.
// Inserts count their probes into the store; staged lookups into the
// admission being staged; plain lookups count nothing.
#include "retained/model/index.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

namespace {

// Head of the key's bucket, or -1 when the index has no heads (a closed store).
std::int32_t chain_head(const store_index_columns& index, const text& key) {
  if (index.heads.empty()) return -1;
  const std::int32_t bucket = hash_resource_text(key, static_cast<std::int32_t>(index.bucket_count));
  if (bucket < 0 || static_cast<std::size_t>(bucket) >= index.heads.size()) return -1;
  return index.heads[static_cast<std::size_t>(bucket)];
}

// The value under the key or -1; every node visited adds 1 to probes.
std::int32_t walk_chain(const store_index_columns& index, const text& key, std::uint32_t& probes) {
  for (std::int32_t n = chain_head(index, key); n != -1; n = index.next[static_cast<std::size_t>(n)]) {
    ++probes;
    if (index.keys[static_cast<std::size_t>(n)] == key) {
      return static_cast<std::int32_t>(index.values[static_cast<std::size_t>(n)]);
    }
  }
  return -1;
}

}  // namespace

void retained_resource_store::index_put(const text& key, std::uint32_t value) {
  store_index_columns& index = store_index;
  if (index.heads.empty()) return;  // closed: nothing can be stored any more
  const auto bucket = static_cast<std::size_t>(hash_resource_text(key, static_cast<std::int32_t>(index.bucket_count)));
  if (bucket >= index.heads.size()) return;
  for (std::int32_t n = index.heads[bucket]; n != -1; n = index.next[static_cast<std::size_t>(n)]) {
    ++index.probe_total;
    if (index.keys[static_cast<std::size_t>(n)] == key) {
      index.values[static_cast<std::size_t>(n)] = value;
      return;
    }
  }
  index.keys.push_back(key);
  index.values.push_back(value);
  index.next.push_back(index.heads[bucket]);
  index.heads[bucket] = static_cast<std::int32_t>(index.keys.size() - 1);
}

std::int32_t retained_resource_store::index_get(preflight_result& result, const text& key) {
  return walk_chain(store_index, key, result.index_probes);
}

std::int32_t retained_resource_store::index_find_key(const text& key) {
  std::uint32_t uncounted = 0;
  return walk_chain(store_index, key, uncounted);
}

std::uint32_t retained_resource_store::index_node_count() {
  return static_cast<std::uint32_t>(store_index.keys.size());
}

std::uint32_t retained_resource_store::index_bucket_count() { return store_index.bucket_count; }

std::uint32_t retained_resource_store::index_probe_total() { return store_index.probe_total; }

}  // namespace orvi
