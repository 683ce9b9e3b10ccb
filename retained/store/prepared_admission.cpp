// Prepared admissions and their commits (placeholder until built).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

std::shared_ptr<prepared_admission> retained_resource_store::prepare_bind(const owner_fragment&, const resource_delta&,
                                                                          std::uint32_t) {
  return nullptr;
}

std::shared_ptr<prepared_admission> retained_resource_store::prepare_update(const owner_fragment&,
                                                                            const resource_delta&, std::uint32_t) {
  return nullptr;
}

operation_result retained_resource_store::commit_prepared_admission(const std::shared_ptr<prepared_admission>&,
                                                                    const owner_fragment&, const resource_delta&,
                                                                    std::uint8_t) {
  return operation_result{};
}

operation_result retained_resource_store::commit_prepared_bind(const std::shared_ptr<prepared_admission>&,
                                                               const owner_fragment&, const resource_delta&) {
  return operation_result{};
}

operation_result retained_resource_store::commit_prepared_update(const std::shared_ptr<prepared_admission>&,
                                                                 const owner_fragment&, const resource_delta&) {
  return operation_result{};
}

}  // namespace orvi
