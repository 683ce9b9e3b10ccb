#include "host/srgb_table.hpp"

#include <cmath>

namespace orvi {

const std::array<float, 256>& srgb_decode_table() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> values{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      values[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return values;
  }();
  return table;
}

}  // namespace orvi
