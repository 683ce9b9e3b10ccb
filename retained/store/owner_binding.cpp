// The direct owner operations: preflight (check only) and bind or update
// (check and apply), all staged on a fresh overlay of their own.
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

namespace {

// What a check reports: its counts when it passed, zeros and the message when not.
operation_result checked(const preflight_result& result, std::uint32_t revision) {
  if (!result.admitted) return make_operation_result(false, revision, 0, 0, 0, result.message);
  return make_operation_result(true, revision, result.validations, result.explicit_comparisons,
                               result.payload_comparisons, "ok");
}

}  // namespace

preflight_result retained_resource_store::stage_owner_admission(const owner_fragment& fragment,
                                                                const resource_delta& delta,
                                                                std::uint32_t expected_revision, std::uint8_t kind) {
  staging_state staging = make_staging_state(1);
  return stage_owner_delta(fragment, delta, expected_revision, kind, staging);
}

operation_result retained_resource_store::preflight_bind(const owner_fragment& fragment, const resource_delta& delta,
                                                         std::uint32_t expected_revision) {
  return checked(stage_owner_admission(fragment, delta, expected_revision, ADMISSION_BIND), current_revision());
}

operation_result retained_resource_store::preflight_update(const owner_fragment& fragment, const resource_delta& delta,
                                                           std::uint32_t expected_revision) {
  return checked(stage_owner_admission(fragment, delta, expected_revision, ADMISSION_UPDATE), current_revision());
}

operation_result retained_resource_store::bind_owner(const owner_fragment& fragment, const resource_delta& delta,
                                                     std::uint32_t expected_revision) {
  const preflight_result result = stage_owner_admission(fragment, delta, expected_revision, ADMISSION_BIND);
  if (!result.admitted) return checked(result, current_revision());
  return apply_staged_admission(result, ADMISSION_BIND);
}

operation_result retained_resource_store::update_owner(const owner_fragment& fragment, const resource_delta& delta,
                                                       std::uint32_t expected_revision) {
  const preflight_result result = stage_owner_admission(fragment, delta, expected_revision, ADMISSION_UPDATE);
  if (!result.admitted) return checked(result, current_revision());
  return apply_staged_admission(result, ADMISSION_UPDATE);
}

}  // namespace orvi
