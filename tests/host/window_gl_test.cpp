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

TEST(RealWindow, StrictProbeFindsTheRequestedFormatConfirmsThePipelineAndKeepsTheCurrentContext) {
  canvas_window& window = testing::open_gl_test_window(200, 120);
  EXPECT_EQ(window.strict_srgb_format, 1);
  EXPECT_EQ(window.srgb_pipeline, 1) << "GL_SRGB8_ALPHA8 reads back";
  EXPECT_EQ(glIsEnabled(gl_framebuffer_srgb), GL_TRUE);
  ASSERT_EQ(wglGetCurrentContext(), window.gl_context);

  HWND target = CreateWindowExW(0, canvas_window_class_name, L"", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(target, nullptr);
  HDC target_dc = GetDC(target);
  const int format = choose_srgb_pixel_format(target_dc);
  ASSERT_GT(format, 0);
  EXPECT_EQ(wglGetCurrentContext(), window.gl_context);
  EXPECT_EQ(wglGetCurrentDC(), window.device_context);

  PIXELFORMATDESCRIPTOR d{};
  ASSERT_GT(DescribePixelFormat(target_dc, format, sizeof(d), &d), 0);
  const DWORD flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  EXPECT_EQ(d.dwFlags & flags, flags);
  EXPECT_EQ(d.iPixelType, PFD_TYPE_RGBA);
  for (BYTE bits : {d.cRedBits, d.cGreenBits, d.cBlueBits, d.cAlphaBits, d.cStencilBits}) EXPECT_GE(bits, 8);
  EXPECT_GE(d.cDepthBits, 24);
  EXPECT_TRUE(check_srgb_pixel_format(target_dc, format));
  ReleaseDC(target, target_dc);
  DestroyWindow(target);
}

TEST(RealWindow, TenFontSlotsAreBuilt) {
  canvas_window& window = testing::open_gl_test_window(200, 120);
  for (const auto& slot : window.fonts) {
    EXPECT_NE(slot.list_base, 0u);
    EXPECT_NE(slot.font, nullptr);
    EXPECT_EQ(glIsList(slot.list_base + 95), GL_TRUE);
  }
}

// Reads the back buffer (the front one reads black) at every swap the
// background clearing makes.
std::vector<std::array<GLubyte, 4>> colours_at_swap;
BOOL WINAPI read_then_swap(HDC dc) {
  glReadBuffer(GL_BACK);
  glReadPixels(100, 60, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, colours_at_swap.emplace_back().data());
  return SwapBuffers(dc);
}

// The legacy format too: on an sRGB-capable buffer Mesa keeps converting
// clears once a swap has happened, even with GL_FRAMEBUFFER_SRGB disabled
// again, and the window's own size message swaps while it is shown.
TEST(RealWindow, BackgroundReadsBackBeforeEachSwapWithAndWithoutTheSrgbPipeline) {
  for (const bool strict : {true, false}) {
    canvas_window& window = testing::open_gl_test_window(200, 120, strict);
    ASSERT_EQ(window.srgb_pipeline, strict ? 1 : 0);
    testing::scoped_platform guard;
    platform().swap_buffers = &read_then_swap;
    colours_at_swap.clear();
    clear_window_background(window);
    ASSERT_EQ(colours_at_swap.size(), 2u);
    for (const auto& c : colours_at_swap)
      EXPECT_EQ((std::array<int, 3>{c[0], c[1], c[2]}), (std::array<int, 3>{10, 11, 13}));
  }
}

// Columns [first, last] that hold any lit pixel in rows [top, bottom) (y downward).
std::pair<int, int> lit_columns(const std::vector<GLubyte>& rgba, int width, int height, int top, int bottom) {
  int first = width;
  int last = -1;
  for (int y = top; y < bottom; ++y) {
    const int row = height - 1 - y;
    for (int x = 0; x < width; ++x) {
      if (rgba[(row * width + x) * 4] > 96) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  return {first, last};
}

TEST(RealWindow, DrawnSpacesAdvanceTheText) {
  canvas_window& window = testing::open_gl_test_window(300, 120);
  const ui_font_slot& font = window.fonts[6];  // 20 px, weight 400
  ASSERT_NE(font.list_base, 0u);
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
  const auto [ab_first, ab_last] = lit_columns(rgba, 300, 120, 0, 60);
  const auto [spaced_first, spaced_last] = lit_columns(rgba, 300, 120, 60, 120);
  ASSERT_LE(ab_first, ab_last) << "nothing drawn";
  ASSERT_LE(spaced_first, spaced_last) << "nothing drawn";

  HGDIOBJ previous = SelectObject(window.device_context, font.font);
  INT space = 0;
  GetCharWidth32A(window.device_context, ' ', ' ', &space);
  SelectObject(window.device_context, previous);
  ASSERT_GT(space, 0);
  const int widening = (spaced_last - spaced_first) - (ab_last - ab_first);
  EXPECT_GT(widening, 0) << "\"a b\" is no wider than \"ab\"";
  EXPECT_NEAR(widening, space, 1);
}

}  // namespace
}  // namespace orvi
