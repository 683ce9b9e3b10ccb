// Drawing arithmetic and the key table, without a window.
#include "host/colour_math.hpp"
#include "host/key_names.hpp"
#include "host/rounded_corners.hpp"
#include "host/srgb_table.hpp"
#include "host/text_walk.hpp"
#include "runtime/text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace orvi {
namespace {

TEST(ColourMath, ChannelsAndPremultipliedConversion) {
  // Without the pipeline 0 and 1 are none and full; larger values are bytes.
  for (auto [channel, want] : {std::pair{0, 0.0f}, {1, 1.0f}, {2, 2.0f / 255.0f}, {300, 1.0f}, {-5, 0.0f}})
    EXPECT_FLOAT_EQ(channel_to_gl_float(channel, false), want) << channel;
  EXPECT_EQ(channel_to_gl_float(1, true), srgb_decode_table()[1]);
  EXPECT_EQ(channel_to_gl_float(300, true), 1.0f);
  EXPECT_EQ(srgb_to_linear(-1), 0.0f);
  EXPECT_FLOAT_EQ(srgb_to_linear(255), 1.0f);
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(linear_premultiplied_to_srgb(static_cast<std::uint8_t>(c), 255), c) << c;
    EXPECT_EQ(linear_premultiplied_to_srgb(static_cast<std::uint8_t>(c), 0), 0);
    // Premultiplied: never above alpha.
    if (c <= 128) {
      EXPECT_LE(linear_premultiplied_to_srgb(static_cast<std::uint8_t>(c), 128), 128);
    }
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
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at;
    while (end < text.size() && text[end] >= 32 && text[end] <= 126) ++end;
    if (end > at) {
      drawn += "[" + std::string(text.substr(at, end - at)) + "]";
      at = end;
      continue;
    }
    std::size_t length = 1;  // one character: its other bytes are continuations
    for (std::size_t n = 2; n <= 4 && at + n <= text.size() && (text[at + n - 1] & 0xC0) == 0x80; ++n)
      if (is_valid_utf8(text.substr(at, n))) length = n;
    drawn += "?";
    at += length;
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
    ASSERT_EQ(walk(s), reference_walk(s)) << testing::PrintToString(s);
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
