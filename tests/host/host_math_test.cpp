// The host's platform-free parts: display geometry, drawing arithmetic and the
// key table.
#include "host/colour_math.hpp"
#include "host/display_geometry.hpp"
#include "host/key_names.hpp"
#include "host/rounded_corners.hpp"
#include "host/srgb_table.hpp"
#include "host/text_walk.hpp"
#include "runtime/text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace orvi {
namespace {

constexpr std::int32_t i32_max = std::numeric_limits<std::int32_t>::max(), i32_min = -i32_max - 1;
constexpr const char *ok = "ok", *invalid = "invalid-display-geometry", *outside = "work-area-outside-display";

TEST(DisplayGeometry, PositiveSizesAndAWorkAreaInsideTheDisplayUpToTheThirtyTwoBitExtremes) {
  // The left monitor of a two-monitor desktop. Fields: id, x, y, width, height,
  // work x, work y, work width, work height, scale, primary.
  const display_record left{"display-1", -1920, 0, 1920, 1080, -1920, 0, 1920, 1040, 100, 0};
  using field = std::int32_t display_record::*;
  // One field changed: a work area exactly the display fits; one pixel past any edge does not.
  std::vector<std::tuple<field, std::int32_t, const char*>> changes{
      {&display_record::work_height, 1040, ok},     {&display_record::work_height, 1080, ok},
      {&display_record::work_width, 1921, outside}, {&display_record::work_x, -1921, outside},
      {&display_record::work_y, -1, outside},       {&display_record::work_y, 41, outside},
      {&display_record::width, 1, outside}};  // a size of one is valid
  for (field size : {&display_record::width, &display_record::height, &display_record::work_width,
                     &display_record::work_height, &display_record::scale})
    for (std::int32_t bad : {0, -1, i32_min}) changes.emplace_back(size, bad, invalid);
  for (const auto& [member, value, expected] : changes) {
    display_record d = left;
    d.*member = value;
    EXPECT_EQ(check_display_geometry(d), expected) << value;
  }
  const std::pair<display_record, const char*> records[] = {
      {{"", -1920, 0, 1920, 1080, -1920, 0, 1920, 1040, 100, 0}, invalid},
      {{"display-1", -1920, 0, 1920, 1080, 5000, 0, 1920, 1040, 0, 0}, invalid},  // sizes decide first
      // A work area whose right or bottom edge lies past INT32_MAX once wrapped
      // to a large negative value and passed as inside.
      {{"wrap-x", 0, 0, i32_max, 1080, 1, 0, i32_max, 1040, 100, 0}, outside},
      {{"wrap-y", -1920, 0, 1920, 1000, -1920, i32_max, 1920, i32_max, 100, 0}, outside},
      // A display reaching past INT32_MAX itself contains a work area that does.
      {{"far", i32_max - 10, 0, i32_max, 1080, i32_max - 10, 0, 100, 1040, 100, 0}, ok},
      {{"extreme", i32_min, i32_min, i32_max, i32_max, i32_min, i32_min, i32_max, i32_max, i32_max, 1}, ok},
      {{"extreme", i32_min, i32_min, i32_max, i32_max, i32_min + 1, i32_min, i32_max, i32_max, i32_max, 0}, outside}};
  for (const auto& [display, expected] : records)
    EXPECT_EQ(check_display_geometry(display), expected) << display.id << " " << display.work_x;
}

TEST(ColourMath, ChannelsAndPremultipliedConversion) {
  // Without the pipeline 0 and 1 are none and full; larger values are bytes.
  for (auto [channel, want] : {std::pair{0, 0.0f}, {1, 1.0f}, {2, 2.0f / 255.0f}, {300, 1.0f}, {-5, 0.0f}})
    EXPECT_FLOAT_EQ(channel_to_gl_float(channel, false), want) << channel;
  EXPECT_EQ(std::make_tuple(channel_to_gl_float(1, true), channel_to_gl_float(300, true), srgb_to_linear(-1)),
            std::make_tuple(srgb_decode_table()[1], 1.0f, 0.0f));
  EXPECT_FLOAT_EQ(srgb_to_linear(255), 1.0f);
  for (int c = 0; c < 256; ++c) {
    const auto value = static_cast<std::uint8_t>(c);
    EXPECT_EQ(std::make_tuple(linear_premultiplied_to_srgb(value, 255), linear_premultiplied_to_srgb(value, 0)),
              std::make_tuple(c, 0))
        << c;
    // Premultiplied: never above alpha.
    EXPECT_LE(linear_premultiplied_to_srgb(value, 128), 128) << c;
  }
}

TEST(RoundedCorners, ArcsRunClockwiseFromStraightUpAndMeet) {
  const auto& c = rounded_corner_table();
  EXPECT_NEAR(c[0][0].x, 0.0f, 1e-6f);
  EXPECT_NEAR(c[0][0].y, -1.0f, 1e-6f);
  // Each step turns 11.25 degrees clockwise (y grows downward); a quarter per arc.
  for (int k = 0; k < 4; ++k) {
    for (int s = 1; s < corner_steps; ++s) {
      const unit_vector a = c[k][s - 1], b = c[k][s];
      EXPECT_NEAR(a.x * b.x + a.y * b.y, std::cos(0.19634954f), 1e-6f) << k << "," << s;
      EXPECT_NEAR(a.x * b.y - a.y * b.x, std::sin(0.19634954f), 1e-6f) << k << "," << s;
    }
    EXPECT_NEAR(c[k][corner_steps - 1].x, c[(k + 1) % 4][0].x, 1e-6f) << k;
    EXPECT_NEAR(c[k][corner_steps - 1].y, c[(k + 1) % 4][0].y, 1e-6f) << k;
  }
}

std::string walk(std::string_view text) {
  std::string drawn;
  walk_drawn_text(
      text, [&](std::string_view run) { drawn += "[" + std::string(run) + "]"; }, [&] { drawn += "?"; });
  return drawn;
}

// The same walk from the strict decoder: a run of bytes 32 to 126, else the
// longest well-formed character, else one stray byte.
std::string reference_walk(std::string_view text) {
  std::string drawn;
  for (std::size_t at = 0, end = 0; at < text.size(); at = end) {
    while (end < text.size() && text[end] >= 32 && text[end] <= 126) ++end;
    if (end > at) {
      drawn += "[" + std::string(text.substr(at, end - at)) + "]";
      continue;
    }
    end = at + 1;  // one character: its other bytes are continuations
    for (std::size_t n = 2; n <= 4 && at + n <= text.size() && (text[at + n - 1] & 0xC0) == 0x80; ++n)
      if (is_valid_utf8(text.substr(at, n))) end = at + n;
    drawn += "?";
  }
  return drawn;
}

TEST(TextWalk, OneQuestionMarkPerCharacterOrStrayByte) {
  EXPECT_EQ(walk("caf\xC3\xA9!\t"), "[caf]?[!]?");
  // Bytes at every boundary of the encoding, in random strings.
  const std::string bytes =
      "A \x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC\xED\xEE\xEF\xF0\xF1\xF4\xF5\xFF";
  std::mt19937 rng(7);
  for (int round = 0; round < 40000; ++round) {
    std::string s(1 + rng() % 6, ' ');
    for (auto& c : s) c = bytes[rng() % bytes.size()];
    ASSERT_EQ(walk(s), reference_walk(s)) << ::testing::PrintToString(s);
  }
}

TEST(KeyNames, EveryNameInAnyCase) {
  const std::pair<const char*, std::uint32_t> names[] = {
      {"a", 65},      {"Z", 90},    {"0", 48},        {"9", 57},      {"F1", 112},      {"f9", 120},    {"F10", 121},
      {"f11", 122},   {"f12", 123}, {"BackSpace", 8}, {"tab", 9},     {"Enter", 13},    {"Return", 13}, {"shift", 16},
      {"ESCAPE", 27}, {"Esc", 27},  {"space", 32},    {"PageUp", 33}, {"pagedown", 34}, {"end", 35},    {"Home", 36},
      {"left", 37},   {"UP", 38},   {"Right", 39},    {"down", 40},   {"f0", 0},        {"f13", 0},     {"ctrl", 0},
      {"", 0},        {"!", 0},     {"@", 0},         {"[", 0},       {"`", 0},         {"{", 0},       {"/", 0},
      {":", 0},       {"fa", 0},    {"escapes", 0}};
  for (const auto& [name, key] : names) EXPECT_EQ(virtual_key_for_name(name), key) << name;
}

}  // namespace
}  // namespace orvi
