// Unit vectors of the four quarter circles of a rounded rectangle. Platform-free.
#pragma once

#include <array>

namespace orvi {

struct unit_vector {
  float x;
  float y;
};

inline constexpr int corner_steps = 9;
using corner_arc = std::array<unit_vector, corner_steps>;

// Corners in drawing order: top-right, bottom-right, bottom-left, top-left
// (y downward); each arc turns clockwise on screen in 11.25 degree steps, the
// first starting straight up.
const std::array<corner_arc, 4>& rounded_corner_table();

}  // namespace orvi
