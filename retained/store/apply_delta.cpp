// Applying an admitted delta (placeholder until built: nothing is applied).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

void retained_resource_store::apply_delta_rows(const preflight_result&, std::uint8_t) {}

operation_result retained_resource_store::apply_staged_admission(const preflight_result&, std::uint8_t) {
  return operation_result{};
}

}  // namespace orvi
