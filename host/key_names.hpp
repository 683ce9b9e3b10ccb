// Key names of the key query and their virtual keys. Platform-free.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvi {

// The virtual key of a name in any letter case, or 0 when the name has none.
std::uint32_t virtual_key_for_name(std::string_view name);

}  // namespace orvi
