// Real GL canvas windows under Wine: the strict sRGB probe and pipeline, fonts,
// the background, frames and drawing, read back from the back buffer (the
// front one reads black) before the present.
#include "host/background.hpp"
#include "host/draw.hpp"
#include "host/frame.hpp"
#include "host/input_queries.hpp"
#include "runtime/errors.hpp"

#include "tests/host/fake_platform.hpp"
#include "tests/host/test_window.hpp"
#include "tests/support/desktop_input.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace orvi {
namespace {

using testing::rgb;
constexpr GLenum gl_framebuffer_srgb = 0x8DB9;

// The current window's client pixel (x, y), y downward.
rgb pixel(int x, int y) {
  std::array<GLubyte, 4> p{};
  glReadBuffer(GL_BACK);
  glReadPixels(x, static_cast<GLint>(resolve_current_window()->client_height) - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE,
               p.data());
  return {p[0], p[1], p[2]};
}

// The background is (10, 11, 13) before each of the clearing's two swaps. With
// the legacy format too: on an sRGB-capable buffer Mesa keeps converting clears
// once a swap has happened, even with GL_FRAMEBUFFER_SRGB disabled again, and
// the window's own size message swaps while it is shown.
std::vector<rgb> colours_at_swap;
void expect_background_at_each_swap(canvas_window& window) {
  testing::scoped_platform guard;
  platform().swap_buffers = [](HDC dc) { return colours_at_swap.push_back(pixel(100, 60)), SwapBuffers(dc); };
  colours_at_swap.clear();
  clear_window_background(window);
  EXPECT_EQ(colours_at_swap, std::vector<rgb>(2, rgb{10, 11, 13}));
}

// Columns [first, last] that hold any lit pixel in rows [top, bottom) (y downward).
std::pair<int, int> lit_columns(const std::vector<GLubyte>& rgba, int top, int bottom) {
  int first = 300, last = -1;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < 300; ++x)
      if (rgba[((119 - y) * 300 + x) * 4] > 96) first = std::min(first, x), last = std::max(last, x);
  return {first, last};
}

TEST(StrictSrgbWindow, PipelineConfirmedTenFontSlotsSpacesAdvanceAndTheBackgroundClears) {
  canvas_window& window = testing::open_test_window(300, 120, testing::test_gl::strict_srgb);
  EXPECT_EQ(std::make_tuple(window.strict_srgb_format, window.srgb_pipeline, glIsEnabled(gl_framebuffer_srgb)),
            std::make_tuple(1, 1, GL_TRUE));
  // (That probing for another window restores the current context is proven
  // through the fake layer, with the probe's failure branches.)

  // Every font slot is built; a space in drawn text moves it by the font's own advance.
  for (const auto& slot : window.fonts)
    EXPECT_TRUE(slot.list_base != 0 && slot.font != nullptr && glIsList(slot.list_base + 95));
  const ui_font_slot& font = window.fonts[6];  // 20 px, weight 400
  begin_frame(0, 0, 0);
  draw_text("ab", 10, 20, font.list_base, 20, 255, 255, 255);
  draw_text("a b", 10, 80, font.list_base, 20, 255, 255, 255);
  std::vector<GLubyte> rgba(300 * 120 * 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, 300, 120, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const auto [ab_first, ab_last] = lit_columns(rgba, 0, 60);
  const auto [spaced_first, spaced_last] = lit_columns(rgba, 60, 120);
  ASSERT_TRUE(ab_first <= ab_last && spaced_first <= spaced_last) << "nothing drawn";
  HGDIOBJ previous = SelectObject(window.device_context, font.font);
  INT space = 0;
  GetCharWidth32A(window.device_context, ' ', ' ', &space);
  SelectObject(window.device_context, previous);
  ASSERT_GT(space, 0);
  EXPECT_NEAR((spaced_last - spaced_first) - (ab_last - ab_first), space, 1) << "\"a b\" is \"ab\" and a space wide";
  expect_background_at_each_swap(window);
}

std::vector<std::string> drawn_runs;
BOOL layered_answer = 1;
int layered_updates = 0;

TEST(LegacyWindow, BackgroundRectanglesTextLayeredPresentAndNoOpenWindow) {
  canvas_window& w = testing::open_test_window(200, 120, testing::test_gl::legacy);
  ASSERT_EQ(w.srgb_pipeline, 0);
  expect_background_at_each_swap(w);

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

  testing::scoped_platform scope;
  // Text draws printable runs and one "?" per other character.
  platform().gl_call_lists = [](GLsizei n, GLenum, const void* lists) {
    drawn_runs.emplace_back(static_cast<const char*>(lists), static_cast<std::size_t>(n));
  };
  draw_text_styled("caf\xC3\xA9 ok\t", 5, 7, 250, 221, 233, 230);
  EXPECT_EQ(drawn_runs, (std::vector<std::string>{"caf", "?", " ok", "?"}));

  // The layered present counts only a successful update and keeps its limits.
  platform().update_layered_window = [](HWND, HDC, POINT*, SIZE*, HDC source, POINT*, COLORREF, BLENDFUNCTION* blend,
                                        DWORD flags) {
    ++layered_updates;
    // Per-pixel alpha from the bitmap, or the window is drawn opaque.
    EXPECT_EQ(std::make_tuple(source != nullptr, blend->SourceConstantAlpha, blend->AlphaFormat, flags),
              std::make_tuple(true, 255, AC_SRC_ALPHA, DWORD{ULW_ALPHA}));
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

  // Every operation raises without an open window, but the key query answers false.
  const std::pair<std::string, std::function<void()>> operations[] = {
      {"BeginFrame", [] { begin_frame(0, 0, 0); }},
      {"EndFrame", [] { end_frame(); }},
      {"DrawTextStyled", [] { draw_text_styled("a", 0, 0, 100, 0, 0, 0); }},
      {"DrawText", [] { draw_text("a", 0, 0, 1, 12, 0, 0, 0); }},
      {"DrawRectRgba", [] { draw_rect_rgba(0, 0, 1, 1, 0, 0, 0); }},
      {"DrawRoundedRectRgba", [] { draw_rounded_rect_rgba(0, 0, 9, 9, 2, 0, 0, 0); }},
      {"MouseX", [] { mouse_x(); }},
      {"MouseY", [] { mouse_y(); }}};
  w.open = 0;
  for (const auto& [name, operation] : operations) {
    try {
      operation();
      ADD_FAILURE() << name << " did not raise";
    } catch (const tovi_runtime_exception& error) {
      EXPECT_EQ(std::tie(error.record().code, error.record().message, error.record().module),
                std::make_tuple("window.canvas", "window/canvas runtime window is not open for " + name,
                                "tovi_window_input_canvas"));
    }
  }
  EXPECT_FALSE(key_pressed_by_name("a"));
}

}  // namespace
}  // namespace orvi
