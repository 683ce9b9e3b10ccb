// Candidate batches (placeholder until built).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

std::shared_ptr<prepared_candidate_batch> retained_resource_store::prepare_candidate_batch(
    const std::vector<owner_fragment>&, const std::vector<resource_delta>&, std::uint32_t) {
  return nullptr;
}

operation_result retained_resource_store::commit_prepared_candidate_batch(
    const std::shared_ptr<prepared_candidate_batch>&, const std::vector<owner_fragment>&,
    const std::vector<resource_delta>&) {
  return operation_result{};
}

}  // namespace orvi
