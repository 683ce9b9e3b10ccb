#include "host/display_geometry.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace orvi {
namespace {

constexpr std::int32_t i32_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t i32_min = std::numeric_limits<std::int32_t>::min();

// The left monitor of a two-monitor desktop.
display_record left_monitor() {
  display_record d;
  d.id = "display-1";
  d.x = -1920;
  d.y = 0;
  d.width = 1920;
  d.height = 1080;
  d.work_x = -1920;
  d.work_y = 0;
  d.work_width = 1920;
  d.work_height = 1040;
  d.scale = 100;
  return d;
}

TEST(DisplayGeometry, AcceptsAWorkAreaInsideTheDisplay) {
  EXPECT_EQ(check_display_geometry(left_monitor()), "ok");
  display_record d = left_monitor();
  d.work_height = 1080;  // exactly the display
  EXPECT_EQ(check_display_geometry(d), "ok");
  d.primary = 1;  // not examined
  EXPECT_EQ(check_display_geometry(d), "ok");
}

TEST(DisplayGeometry, RefusesEmptyIdAndNonPositiveSizes) {
  display_record d = left_monitor();
  d.id.clear();
  EXPECT_EQ(check_display_geometry(d), "invalid-display-geometry");
  for (std::int32_t display_record::*field :
       {&display_record::width, &display_record::height, &display_record::work_width, &display_record::work_height,
        &display_record::scale}) {
    for (std::int32_t bad : {0, -1, i32_min}) {
      d = left_monitor();
      d.*field = bad;
      EXPECT_EQ(check_display_geometry(d), "invalid-display-geometry") << bad;
    }
  }
}

TEST(DisplayGeometry, RefusesAWorkAreaPastAnyEdge) {
  display_record d = left_monitor();
  d.work_width = 1921;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");
  d = left_monitor();
  d.work_x = -1921;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");
  d = left_monitor();
  d.work_y = -1;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");
  d = left_monitor();
  d.work_y = 41;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");
}

TEST(DisplayGeometry, InvalidSizeDecidesBeforeTheWorkArea) {
  display_record d = left_monitor();
  d.work_x = 5000;
  d.scale = 0;
  EXPECT_EQ(check_display_geometry(d), "invalid-display-geometry");
}

TEST(DisplayGeometry, EdgesPastTheThirtyTwoBitRangeDoNotWrap) {
  // A work area whose right edge lies past INT32_MAX once wrapped to a large
  // negative value and passed as inside.
  display_record d = left_monitor();
  d.x = 0;
  d.width = i32_max;
  d.work_x = 1;
  d.work_width = i32_max;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");

  d = left_monitor();
  d.y = 0;
  d.height = 1000;
  d.work_y = i32_max;
  d.work_height = i32_max;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");

  // A display reaching past INT32_MAX itself contains a work area that does.
  d = left_monitor();
  d.x = i32_max - 10;
  d.width = i32_max;
  d.work_x = i32_max - 10;
  d.work_width = 100;
  EXPECT_EQ(check_display_geometry(d), "ok");
}

TEST(DisplayGeometry, ExtremeButInsideValuesStayOk) {
  display_record d;
  d.id = "x";
  d.x = i32_min;
  d.y = i32_min;
  d.width = i32_max;
  d.height = i32_max;
  d.work_x = i32_min;
  d.work_y = i32_min;
  d.work_width = i32_max;
  d.work_height = i32_max;
  d.scale = i32_max;
  EXPECT_EQ(check_display_geometry(d), "ok");
  d.work_x = i32_min + 1;
  EXPECT_EQ(check_display_geometry(d), "work-area-outside-display");
}

}  // namespace
}  // namespace orvi
