// A published display and the check of its geometry. Platform-free.
#pragma once

#include <cstdint>
#include <string>

namespace orvi {

struct display_record {
  std::string id;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t work_x = 0;
  std::int32_t work_y = 0;
  std::int32_t work_width = 0;
  std::int32_t work_height = 0;
  std::int32_t scale = 0;
  std::uint8_t primary = 0;
};

// "ok", "invalid-display-geometry" or "work-area-outside-display".
std::string check_display_geometry(const display_record& display);

}  // namespace orvi
