// Real windows and GL under Wine: the strict sRGB probe, the pipeline
// confirmation, fonts and the background, checked by reading pixels back.
#include "host/background.hpp"
#include "host/pixel_format.hpp"
#include "host/platform.hpp"
#include "host/window_classes.hpp"

#include "tests/host/fake_platform.hpp"
#include "tests/host/test_window.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace orvi {
namespace {

constexpr GLenum gl_framebuffer_srgb = 0x8DB9;

TEST(RealWindow, StrictProbeConfirmsThePipelineAndKeepsTheCurrentContext) {
  canvas_window& window = testing::open_test_window(200, 120, testing::test_gl::strict_srgb);
  EXPECT_EQ(std::make_tuple(window.strict_srgb_format, window.srgb_pipeline, glIsEnabled(gl_framebuffer_srgb)),
            std::make_tuple(1, 1, GL_TRUE));
  // Probing for another window leaves this one's context current.
  HWND target = CreateWindowExW(0, canvas_window_class_name, L"", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  HDC target_dc = GetDC(target);
  const int format = choose_srgb_pixel_format(target_dc);
  EXPECT_TRUE(format > 0 && check_srgb_pixel_format(target_dc, format));
  EXPECT_EQ(std::make_tuple(wglGetCurrentContext(), wglGetCurrentDC()),
            std::make_tuple(window.gl_context, window.device_context));
  DestroyWindow(target);
}

// Reads the back buffer (the front one reads black) at every swap the
// background clearing makes.
std::vector<std::array<GLubyte, 4>> colours_at_swap;

// The legacy format too: on an sRGB-capable buffer Mesa keeps converting
// clears once a swap has happened, even with GL_FRAMEBUFFER_SRGB disabled
// again, and the window's own size message swaps while it is shown.
TEST(RealWindow, BackgroundReadsBackBeforeEachSwapWithAndWithoutTheSrgbPipeline) {
  for (const bool strict : {true, false}) {
    canvas_window& window =
        testing::open_test_window(200, 120, strict ? testing::test_gl::strict_srgb : testing::test_gl::legacy);
    ASSERT_EQ(window.srgb_pipeline, strict ? 1 : 0);
    testing::scoped_platform guard;
    platform().swap_buffers = [](HDC dc) {
      glReadBuffer(GL_BACK);
      glReadPixels(100, 60, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, colours_at_swap.emplace_back().data());
      return SwapBuffers(dc);
    };
    colours_at_swap.clear();
    clear_window_background(window);
    ASSERT_EQ(colours_at_swap.size(), 2u);
    for (const auto& c : colours_at_swap) EXPECT_EQ(std::make_tuple(c[0], c[1], c[2]), std::make_tuple(10, 11, 13));
  }
}

// Columns [first, last] that hold any lit pixel in rows [top, bottom) (y downward).
std::pair<int, int> lit_columns(const std::vector<GLubyte>& rgba, int top, int bottom) {
  int first = 300, last = -1;
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < 300; ++x) {
      if (rgba[((119 - y) * 300 + x) * 4] > 96) first = std::min(first, x), last = std::max(last, x);
    }
  }
  return {first, last};
}

// Every font slot is built; a space in the drawn text moves the text by the
// font's own space advance.
TEST(RealWindow, TenFontSlotsAndDrawnSpacesAdvanceTheText) {
  canvas_window& window = testing::open_test_window(300, 120, testing::test_gl::strict_srgb);
  for (const auto& slot : window.fonts)
    EXPECT_TRUE(slot.list_base != 0 && slot.font != nullptr && glIsList(slot.list_base + 95));
  const ui_font_slot& font = window.fonts[6];  // 20 px, weight 400
  clear_window_background(window);
  glDisable(gl_framebuffer_srgb);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(1, 1, 1);
  glListBase(font.list_base - 32);
  glRasterPos2f(10, 40);
  glCallLists(2, GL_UNSIGNED_BYTE, "ab");
  glRasterPos2f(10, 100);
  glCallLists(3, GL_UNSIGNED_BYTE, "a b");
  glFinish();
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
}

}  // namespace
}  // namespace orvi
