// Candidate overlay index and command lookup (placeholder until built).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

void retained_resource_store::index_staged_resources(const preflight_result&, staging_state&) {}

std::int32_t retained_resource_store::find_command_row(const render_command_record&) { return -1; }

std::int32_t retained_resource_store::find_command_owner(const render_command_record&) { return -1; }

}  // namespace orvi
