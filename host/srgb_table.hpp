// The sRGB decode table: entry i is the linear value of the sRGB code i.
#pragma once

#include <array>

namespace orvi {

const std::array<float, 256>& srgb_decode_table();

}  // namespace orvi
