#include "host/display_geometry.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

namespace orvi {
namespace {

constexpr std::int32_t i32_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t i32_min = std::numeric_limits<std::int32_t>::min();
constexpr const char* ok = "ok";
constexpr const char* invalid = "invalid-display-geometry";
constexpr const char* outside = "work-area-outside-display";

// The left monitor of a two-monitor desktop. Fields: id, x, y, width, height,
// work x, work y, work width, work height, scale, primary.
const display_record left_monitor{"display-1", -1920, 0, 1920, 1080, -1920, 0, 1920, 1040, 100, 0};

TEST(DisplayGeometry, OneFieldOfTheLeftMonitorChanged) {
  using field = std::int32_t display_record::*;
  // A work area exactly the display fits; one pixel past any edge does not.
  std::vector<std::tuple<field, std::int32_t, const char*>> cases{
      {&display_record::work_height, 1040, ok},     {&display_record::work_height, 1080, ok},
      {&display_record::work_width, 1921, outside}, {&display_record::work_x, -1921, outside},
      {&display_record::work_y, -1, outside},       {&display_record::work_y, 41, outside},
  };
  for (field size : {&display_record::width, &display_record::height, &display_record::work_width,
                     &display_record::work_height, &display_record::scale}) {
    for (std::int32_t bad : {0, -1, i32_min}) cases.emplace_back(size, bad, invalid);
  }
  for (const auto& [member, value, expected] : cases) {
    display_record d = left_monitor;
    d.*member = value;
    EXPECT_EQ(check_display_geometry(d), expected) << value;
  }
}

TEST(DisplayGeometry, WholeRecordsUpToTheThirtyTwoBitExtremes) {
  const std::vector<std::pair<display_record, const char*>> cases{
      {{"", -1920, 0, 1920, 1080, -1920, 0, 1920, 1040, 100, 0}, invalid},
      {{"display-1", -1920, 0, 1920, 1080, 5000, 0, 1920, 1040, 0, 0}, invalid},  // sizes decide first
      // A work area whose right or bottom edge lies past INT32_MAX once wrapped
      // to a large negative value and passed as inside.
      {{"wrap-x", 0, 0, i32_max, 1080, 1, 0, i32_max, 1040, 100, 0}, outside},
      {{"wrap-y", -1920, 0, 1920, 1000, -1920, i32_max, 1920, i32_max, 100, 0}, outside},
      // A display reaching past INT32_MAX itself contains a work area that does.
      {{"far", i32_max - 10, 0, i32_max, 1080, i32_max - 10, 0, 100, 1040, 100, 0}, ok},
      {{"extreme", i32_min, i32_min, i32_max, i32_max, i32_min, i32_min, i32_max, i32_max, i32_max, 1}, ok},
      {{"extreme", i32_min, i32_min, i32_max, i32_max, i32_min + 1, i32_min, i32_max, i32_max, i32_max, 0}, outside},
  };
  for (const auto& [display, expected] : cases) {
    EXPECT_EQ(check_display_geometry(display), expected) << display.id << " " << display.work_x;
  }
}

}  // namespace
}  // namespace orvi
