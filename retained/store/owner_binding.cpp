// Owner binding, update and preflight (placeholder until built: nothing is admitted).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

preflight_result retained_resource_store::stage_owner_admission(const owner_fragment& fragment, const resource_delta&,
                                                                std::uint32_t, std::uint8_t) {
  return make_preflight_result(fragment.id, static_cast<std::uint32_t>(fragment.generation));
}

operation_result retained_resource_store::preflight_bind(const owner_fragment&, const resource_delta&, std::uint32_t) {
  return operation_result{};
}

operation_result retained_resource_store::preflight_update(const owner_fragment&, const resource_delta&,
                                                           std::uint32_t) {
  return operation_result{};
}

operation_result retained_resource_store::bind_owner(const owner_fragment&, const resource_delta&, std::uint32_t) {
  return operation_result{};
}

operation_result retained_resource_store::update_owner(const owner_fragment&, const resource_delta&, std::uint32_t) {
  return operation_result{};
}

}  // namespace orvi
