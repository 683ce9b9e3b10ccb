#include "host/display_geometry.hpp"

namespace orvi {

std::string check_display_geometry(const display_record& d) {
  if (d.id.empty() || d.width <= 0 || d.height <= 0 || d.work_width <= 0 || d.work_height <= 0 || d.scale <= 0) {
    return "invalid-display-geometry";
  }
  // Sums in 64 bits: a right or bottom edge past the 32-bit range must not
  // wrap around and pass as inside.
  const std::int64_t right = std::int64_t{d.x} + d.width;
  const std::int64_t bottom = std::int64_t{d.y} + d.height;
  const std::int64_t work_right = std::int64_t{d.work_x} + d.work_width;
  const std::int64_t work_bottom = std::int64_t{d.work_y} + d.work_height;
  if (d.work_x < d.x || d.work_y < d.y || work_right > right || work_bottom > bottom) {
    return "work-area-outside-display";
  }
  return "ok";
}

}  // namespace orvi
