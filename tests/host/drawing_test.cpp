// Frames and drawing on a real GL canvas window, read back from the back
// buffer before the present; text through a recording drawing layer.
#include "host/draw.hpp"
#include "host/frame.hpp"
#include "host/host_runtime.hpp"
#include "host/input_queries.hpp"
#include "host/platform.hpp"
#include "runtime/errors.hpp"

#include "tests/host/fake_platform.hpp"
#include "tests/host/test_window.hpp"
#include "tests/support/desktop_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace orvi {
namespace {

using testing::rgb;

canvas_window& window() {
  static canvas_window& shared = testing::open_test_window(200, 120, testing::test_gl::legacy);
  return shared;
}
// Client (x, y), y downward, from the back buffer.
rgb pixel(int x, int y) {
  std::array<GLubyte, 4> p{};
  glReadBuffer(GL_BACK);
  glReadPixels(x, static_cast<GLint>(window().client_height) - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  return {p[0], p[1], p[2]};
}

TEST(Drawing, RectanglesFillTheirAreaRoundedOnesShowTheBackgroundInTheirCorners) {
  window();
  begin_frame(17, 27, 34);
  // Once a swap has happened, Mesa converts clears of an sRGB-capable buffer,
  // so the background is sampled from a corner nothing draws on.
  const rgb bg = pixel(199, 119), orange{200, 100, 50}, green{0, 255, 0}, white{255, 255, 255};
  draw_rect_rgba(10, 10, 30, 20, 200, 100, 50);
  draw_rect_rgba(100, 60, 10, -20, 0, 255, 0);     // a negative height extends upward
  draw_rect_rgba(150, 60, -5, 20, 255, 255, 255);  // a negative width: nothing
  draw_rounded_rect_rgba(60, 10, 40, 40, 12, 255, 255, 255);
  draw_rounded_rect_rgba(120, 10, 10, 40, 12, 255, 255, 255);  // radius limited to 5
  draw_rounded_rect_rgba(140, 10, 20, 20, 0, 255, 255, 255);   // radius 0: the plain rectangle
  draw_rounded_rect_rgba(170, 10, 0, 20, 4, 255, 255, 255);    // width 0: nothing
  const std::tuple<int, int, rgb> expected[] = {{10, 10, orange}, {39, 29, orange}, {40, 15, bg},     {15, 30, bg},
                                                {105, 45, green}, {105, 65, bg},    {148, 70, bg},    {150, 70, bg},
                                                {80, 30, white},  {61, 30, white},  {80, 11, white},  {60, 10, bg},
                                                {99, 10, bg},     {60, 49, bg},     {99, 49, bg},     {120, 10, bg},
                                                {120, 30, white}, {125, 12, white}, {140, 10, white}, {170, 15, bg}};
  for (const auto& [x, y, colour] : expected) EXPECT_EQ(pixel(x, y), colour) << x << "," << y;
  end_frame();
}

std::vector<std::string> drawn_runs;

TEST(Drawing, TextDrawsPrintableRunsAndOneQuestionMarkPerOtherCharacter) {
  window();
  testing::scoped_platform scope;
  platform().gl_call_lists = [](GLsizei n, GLenum, const void* lists) {
    drawn_runs.emplace_back(static_cast<const char*>(lists), static_cast<std::size_t>(n));
  };
  draw_text_styled("caf\xC3\xA9 ok\t", 5, 7, 250, 221, 233, 230);
  EXPECT_EQ(drawn_runs, (std::vector<std::string>{"caf", "?", " ok", "?"}));
}

TEST(Drawing, EveryOperationRaisesWithoutAnOpenWindowButTheKeyQuery) {
  const std::pair<std::string, std::function<void()>> operations[] = {
      {"BeginFrame", [] { begin_frame(0, 0, 0); }},
      {"EndFrame", [] { end_frame(); }},
      {"DrawTextStyled", [] { draw_text_styled("a", 0, 0, 100, 0, 0, 0); }},
      {"DrawText", [] { draw_text("a", 0, 0, 1, 12, 0, 0, 0); }},
      {"DrawRectRgba", [] { draw_rect_rgba(0, 0, 1, 1, 0, 0, 0); }},
      {"DrawRoundedRectRgba", [] { draw_rounded_rect_rgba(0, 0, 9, 9, 2, 0, 0, 0); }},
      {"MouseX", [] { mouse_x(); }},
      {"MouseY", [] { mouse_y(); }}};
  window().open = 0;
  for (const auto& [name, operation] : operations) {
    try {
      operation();
      ADD_FAILURE() << name << " did not raise";
    } catch (const tovi_runtime_exception& error) {
      EXPECT_EQ(error.record().message, "window/canvas runtime window is not open for " + name);
    }
  }
  EXPECT_FALSE(key_pressed_by_name("a"));
}

BOOL layered_answer = 1;
int layered_updates = 0;

TEST(Drawing, LayeredPresentCountsOnlyASuccessfulUpdateAndKeepsItsLimits) {
  canvas_window& w = window();
  testing::scoped_platform scope;
  platform().update_layered_window = [](HWND, HDC, POINT*, SIZE*, HDC source, POINT*, COLORREF, BLENDFUNCTION* blend,
                                        DWORD flags) {
    ++layered_updates;
    // Per-pixel alpha from the bitmap, or the window is drawn opaque.
    EXPECT_NE(source, nullptr);
    EXPECT_EQ(std::make_tuple(blend->SourceConstantAlpha, blend->AlphaFormat, flags),
              std::make_tuple(255, AC_SRC_ALPHA, DWORD{ULW_ALPHA}));
    return layered_answer;
  };
  auto& counts = get_render_resource_counts();
  const std::uint64_t bitmaps = counts.layered_bitmaps, bytes = counts.layered_bytes;
  w.translucent = 1;
  layered_answer = 2;  // not 1: not presented
  begin_frame(0, 0, 0);
  draw_rect_rgba(0, 0, 1, 1, 200, 100, 50);
  end_frame();
  EXPECT_EQ(std::make_tuple(layered_updates, w.layered_presents, counts.layered_bytes, w.layered_probe_pixel),
            std::make_tuple(1, 0u, bytes + 200 * 120 * 4, 50u | (100u << 8) | (200u << 16) | (255u << 24)));
  layered_answer = 1;
  end_frame();
  EXPECT_EQ(std::make_tuple(w.layered_presents, counts.layered_bitmaps), std::make_tuple(1u, bitmaps + 1))
      << "the bitmap is kept";

  w.client_width = 2049;  // too wide: skipped before any bitmap work
  end_frame();
  EXPECT_EQ(std::make_tuple(w.layered_presented, layered_updates), std::make_tuple(0, 2));
  // A new size whose bytes would pass the process total: skipped, old bitmap kept.
  w.client_width = 199;
  counts.layered_bytes = layered_max_total_bytes - 199 * 120 * 4 + 1 + w.layered_bytes;
  end_frame();
  EXPECT_EQ(std::make_tuple(w.layered_presented, w.layered_width), std::make_tuple(0, 200u));
  counts.layered_bytes -= 1;  // now it fits exactly
  end_frame();
  EXPECT_EQ(std::make_tuple(w.layered_presented, w.layered_width, counts.layered_bytes),
            std::make_tuple(1, 199u, layered_max_total_bytes));
}

}  // namespace
}  // namespace orvi
