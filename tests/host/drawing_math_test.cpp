// Drawing arithmetic and the key table, without a window.
#include "host/colour_math.hpp"
#include "host/key_names.hpp"
#include "host/rounded_corners.hpp"
#include "host/srgb_table.hpp"
#include "host/text_walk.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvi {
namespace {

TEST(ColourMath, ChannelsWithoutThePipelineKeepZeroAndOneAndScaleTheRest) {
  EXPECT_EQ(channel_to_gl_float(0, false), 0.0f);
  EXPECT_EQ(channel_to_gl_float(1, false), 1.0f);
  EXPECT_FLOAT_EQ(channel_to_gl_float(2, false), 2.0f / 255.0f);
  EXPECT_EQ(channel_to_gl_float(300, false), 1.0f);
  EXPECT_EQ(channel_to_gl_float(-5, false), 0.0f);
  EXPECT_EQ(channel_to_gl_float(1, true), srgb_decode_table()[1]);
  EXPECT_EQ(channel_to_gl_float(300, true), 1.0f);
  EXPECT_EQ(srgb_to_linear(-1), 0.0f);
}

TEST(ColourMath, PremultipliedConversionRoundTripsOpaqueBytesAndZeroesTransparentOnes) {
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(linear_premultiplied_to_srgb(static_cast<std::uint8_t>(c), 255), c) << c;
    EXPECT_EQ(linear_premultiplied_to_srgb(static_cast<std::uint8_t>(c), 0), 0);
  }
  // Premultiplied: never above alpha.
  for (int c = 0; c <= 128; ++c) EXPECT_LE(linear_premultiplied_to_srgb(static_cast<std::uint8_t>(c), 128), 128);
}

TEST(RoundedCorners, ArcsRunClockwiseFromStraightUpAndMeet) {
  const auto& corners = rounded_corner_table();
  EXPECT_NEAR(corners[0][0].x, 0.0f, 1e-6f);
  EXPECT_NEAR(corners[0][0].y, -1.0f, 1e-6f);
  for (int k = 0; k < 4; ++k) {
    const unit_vector end = corners[k][8];
    const unit_vector next = corners[(k + 1) % 4][0];
    EXPECT_NEAR(end.x, next.x, 1e-6f) << k;
    EXPECT_NEAR(end.y, next.y, 1e-6f) << k;
  }
  EXPECT_NEAR(corners[1][8].x, 0.0f, 1e-6f);  // bottom-right ends straight down
  EXPECT_NEAR(corners[1][8].y, 1.0f, 1e-6f);
}

std::string walk(std::string_view text) {
  std::string drawn;
  walk_drawn_text(
      text, [&](std::string_view run) { drawn += "[" + std::string(run) + "]"; }, [&] { drawn += "?"; });
  return drawn;
}

TEST(TextWalk, OneQuestionMarkPerCharacterOrStrayByte) {
  EXPECT_EQ(walk("Hello, world"), "[Hello, world]");
  EXPECT_EQ(walk("a\tb"), "[a]?[b]");
  EXPECT_EQ(walk("caf\xC3\xA9!"), "[caf]?[!]");
  EXPECT_EQ(walk("\xE0\x80\x80"), "???");                 // overlong lead, two stray bytes
  EXPECT_EQ(walk("\xED\xA0\x80"), "???");                 // surrogate
  EXPECT_EQ(walk("\xE2\x82\xAC\xF0\x9F\x98\x80"), "??");  // euro sign, emoji
  EXPECT_EQ(walk("\xF4\x90\x80\x80"), "????");            // above U+10FFFF
  EXPECT_EQ(walk("\xF0\x9F\x98"), "???");                 // cut short at the end
  EXPECT_EQ(walk("\xC3"), "?");
  EXPECT_EQ(walk("\x7F\xFF"), "??");
}

TEST(KeyNames, TableInAnyCase) {
  EXPECT_EQ(virtual_key_for_name("a"), 65u);
  EXPECT_EQ(virtual_key_for_name("Z"), 90u);
  EXPECT_EQ(virtual_key_for_name("0"), 48u);
  EXPECT_EQ(virtual_key_for_name("F1"), 112u);
  EXPECT_EQ(virtual_key_for_name("f9"), 120u);
  EXPECT_EQ(virtual_key_for_name("f12"), 123u);
  EXPECT_EQ(virtual_key_for_name("ESCAPE"), 27u);
  EXPECT_EQ(virtual_key_for_name("Esc"), 27u);
  EXPECT_EQ(virtual_key_for_name("Return"), 13u);
  EXPECT_EQ(virtual_key_for_name("BackSpace"), 8u);
  EXPECT_EQ(virtual_key_for_name("pagedown"), 34u);
  EXPECT_EQ(virtual_key_for_name("f0"), 0u);
  EXPECT_EQ(virtual_key_for_name("f13"), 0u);
  EXPECT_EQ(virtual_key_for_name("ctrl"), 0u);
  EXPECT_EQ(virtual_key_for_name(""), 0u);
  EXPECT_EQ(virtual_key_for_name("!"), 0u);
}

}  // namespace
}  // namespace orvi
