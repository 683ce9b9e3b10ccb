// Construction and destruction of the store, and the working records that
// admissions start from.
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

retained_resource_store::retained_resource_store(const text& surface_name) { init_retained_store(surface_name); }

retained_resource_store::~retained_resource_store() = default;

void retained_resource_store::init_retained_store(const text& surface_name) {
  token = std::make_shared<retained_store_token>();
  surface = surface_name;
  state = "open";
  revision = 0;
  store_index.bucket_count = STORE_INDEX_BUCKETS;
  store_index.heads.assign(STORE_INDEX_BUCKETS, -1);
  store_index.chain_lengths.assign(STORE_INDEX_BUCKETS, 0);
  store_index.probe_total = 0;
  // The name is kept as given, so the diagnostics show what the caller passed.
  if (surface.empty() || surface.size() > STORE_SURFACE_MAX_BYTES) state = "invalid";
}

staging_state make_staging_state(std::int32_t bucket_count) {
  staging_state staging;  // its tables start with one bucket, which a single admission keeps
  if (bucket_count > 1) {
    staging.resource_keys = index_table(bucket_count);
    staging.batch_owners = index_table(bucket_count);
    staging.batch_sequences = index_table(bucket_count);
  }
  return staging;
}

std::uint32_t staging_index_node_count(const staging_state& staging) {
  return staging.resource_keys.probes() + staging.batch_owners.probes() + staging.batch_sequences.probes();
}

preflight_result make_preflight_result(const text& owner_id, std::uint32_t generation) {
  preflight_result result;
  result.message = "preflight-not-complete";
  result.owner.owner_id = owner_id;
  result.owner.generation = generation;
  return result;
}

}  // namespace orvi
