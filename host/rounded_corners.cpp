#include "host/rounded_corners.hpp"

#include <cmath>
#include <numbers>

namespace orvi {

const std::array<corner_arc, 4>& rounded_corner_table() {
  static const std::array<corner_arc, 4> table = [] {
    std::array<corner_arc, 4> corners{};
    for (int k = 0; k < 4; ++k) {
      for (int step = 0; step < corner_steps; ++step) {
        const double degrees = -90.0 + 90.0 * k + 11.25 * step;
        const double radians = degrees * std::numbers::pi / 180.0;
        corners[k][step] = {static_cast<float>(std::cos(radians)), static_cast<float>(std::sin(radians))};
      }
    }
    return corners;
  }();
  return table;
}

}  // namespace orvi
