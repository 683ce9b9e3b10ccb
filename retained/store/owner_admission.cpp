// Owner fragment admission (placeholder until built: nothing is admitted).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

preflight_result retained_resource_store::stage_owner_delta(owner_fragment fragment, resource_delta, std::uint32_t,
                                                            std::uint8_t, staging_state&) {
  return make_preflight_result(fragment.id, static_cast<std::uint32_t>(fragment.generation));
}

}  // namespace orvi
