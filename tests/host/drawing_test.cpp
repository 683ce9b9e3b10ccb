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

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace orvi {
namespace {

constexpr GLenum gl_framebuffer_srgb = 0x8DB9;

struct rgb {
  int r, g, b;
  bool operator==(const rgb&) const = default;
};

void PrintTo(const rgb& c, std::ostream* out) { *out << "(" << c.r << "," << c.g << "," << c.b << ")"; }

class Drawing : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    shared_ = &testing::open_gl_test_window(200, 120);
    confirmed_pipeline_ = shared_->srgb_pipeline;
  }
  void SetUp() override { use_pipeline(false); }
  static canvas_window& window() { return *shared_; }
  static void use_pipeline(bool on) {
    window().srgb_pipeline = on ? 1 : 0;
    wglMakeCurrent(window().device_context, window().gl_context);
    (on ? glEnable : glDisable)(gl_framebuffer_srgb);
  }
  // Client (x, y), y downward, from the back buffer.
  static rgb pixel(int x, int y) {
    std::array<GLubyte, 4> p{};
    glReadBuffer(GL_BACK);
    glReadPixels(x, static_cast<GLint>(window().client_height) - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return {p[0], p[1], p[2]};
  }
  static inline std::uint8_t confirmed_pipeline_ = 0;

 private:
  static inline canvas_window* shared_ = nullptr;
};

// Once a swap has happened, Mesa converts clears of an sRGB-capable buffer
// even with GL_FRAMEBUFFER_SRGB disabled, so the background is sampled from a
// corner nothing draws on.
rgb background_of_frame() { return Drawing::pixel(199, 119); }

TEST_F(Drawing, RectanglesFillTheirAreaAndANegativeHeightExtendsUpward) {
  const rgb orange{200, 100, 50}, green{0, 255, 0};
  begin_frame(17, 27, 34);
  const rgb background = background_of_frame();
  draw_rect_rgba(10, 10, 30, 20, 200, 100, 50);
  draw_rect_rgba(100, 60, 10, -20, 0, 255, 0);
  draw_rect_rgba(150, 60, -5, 20, 255, 255, 255);  // negative width: nothing
  // x, y, expected: both edges of the first rectangle, then the upward one.
  const std::tuple<int, int, rgb> expected[] = {{10, 10, orange},      {39, 29, orange},     {40, 15, background},
                                                {15, 30, background},  {105, 45, green},     {105, 65, background},
                                                {148, 70, background}, {150, 70, background}};
  for (const auto& [x, y, colour] : expected) EXPECT_EQ(pixel(x, y), colour) << x << "," << y;
  end_frame();
}

TEST_F(Drawing, RoundedRectanglesShowTheBackgroundInTheirCorners) {
  const rgb white{255, 255, 255};
  begin_frame(17, 27, 34);
  const rgb background = background_of_frame();
  draw_rounded_rect_rgba(60, 10, 40, 40, 12, 255, 255, 255);
  draw_rounded_rect_rgba(120, 10, 10, 40, 12, 255, 255, 255);  // radius limited to 5
  draw_rounded_rect_rgba(140, 10, 20, 20, 0, 255, 255, 255);   // radius 0: the plain rectangle
  draw_rounded_rect_rgba(170, 10, 0, 20, 4, 255, 255, 255);    // width 0: nothing
  const std::tuple<int, int, rgb> expected[] = {{80, 30, white},      {61, 30, white},       {80, 11, white},
                                                {60, 10, background}, {99, 10, background},  {60, 49, background},
                                                {99, 49, background}, {120, 10, background}, {120, 30, white},
                                                {125, 12, white},     {140, 10, white},      {170, 15, background}};
  for (const auto& [x, y, colour] : expected) EXPECT_EQ(pixel(x, y), colour) << x << "," << y;
  end_frame();
}

TEST_F(Drawing, ColoursThroughTheSrgbPipelineComeBackAsGiven) {
  if (confirmed_pipeline_ == 0) GTEST_SKIP() << "no sRGB pipeline on this display";
  use_pipeline(true);
  begin_frame(17, 27, 34);
  draw_rect_rgba(10, 10, 20, 20, 200, 100, 50);
  const auto close_to = [](rgb a, rgb b) {
    return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
  };
  EXPECT_PRED2(close_to, pixel(15, 15), (rgb{200, 100, 50}));
  EXPECT_PRED2(close_to, pixel(100, 100), (rgb{17, 27, 34}));
  end_frame();
  use_pipeline(false);
}

std::vector<std::string>* drawn_runs = nullptr;
void APIENTRY record_call_lists(GLsizei n, GLenum type, const void* lists) {
  EXPECT_EQ(type, static_cast<GLenum>(GL_UNSIGNED_BYTE));
  drawn_runs->emplace_back(static_cast<const char*>(lists), static_cast<std::size_t>(n));
}

TEST_F(Drawing, TextDrawsPrintableRunsAndOneQuestionMarkPerOtherCharacter) {
  testing::scoped_platform scope;
  platform().gl_call_lists = &record_call_lists;
  std::vector<std::string> runs;
  drawn_runs = &runs;
  const auto drawn = [&](std::string_view text) {
    runs.clear();
    draw_text_styled(text, 5, 7, 250, 221, 233, 230);
    return runs;
  };
  EXPECT_EQ(drawn("a\tb"), (std::vector<std::string>{"a", "?", "b"}));
  EXPECT_EQ(drawn("caf\xC3\xA9 ok"), (std::vector<std::string>{"caf", "?", " ok"}));
  EXPECT_EQ(drawn("\xE0\x80\x80"), (std::vector<std::string>{"?", "?", "?"}));  // overlong: three stray bytes
  EXPECT_TRUE(drawn("").empty());
  drawn_runs = nullptr;
}

TEST_F(Drawing, EveryOperationRaisesWithoutAnOpenWindowButTheKeyQuery) {
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
  window().open = 1;
}

BOOL layered_answer = 1;
int layered_updates = 0;
BOOL WINAPI fake_update_layered(HWND, HDC, POINT*, SIZE*, HDC source, POINT*, COLORREF, BLENDFUNCTION* blend,
                                DWORD flags) {
  ++layered_updates;
  // Per-pixel alpha from the bitmap, or the window is drawn opaque.
  EXPECT_NE(source, nullptr);
  EXPECT_EQ(blend->SourceConstantAlpha, 255);
  EXPECT_EQ(blend->AlphaFormat, AC_SRC_ALPHA);
  EXPECT_EQ(flags, static_cast<DWORD>(ULW_ALPHA));
  return layered_answer;
}

TEST_F(Drawing, LayeredPresentCountsOnlyASuccessfulUpdateAndKeepsItsLimits) {
  testing::scoped_platform scope;
  platform().update_layered_window = &fake_update_layered;
  canvas_window& w = window();
  auto& counts = get_render_resource_counts();
  const std::uint64_t bitmaps = counts.layered_bitmaps;
  const std::uint64_t bytes = counts.layered_bytes;
  w.translucent = 1;

  layered_answer = 2;  // not 1: not presented
  begin_frame(0, 0, 0);
  draw_rect_rgba(0, 0, 1, 1, 200, 100, 50);
  end_frame();
  EXPECT_EQ(layered_updates, 1);
  EXPECT_EQ(w.layered_presents, 0u);
  EXPECT_EQ(counts.layered_bytes, bytes + 200 * 120 * 4);
  EXPECT_EQ(w.layered_probe_pixel, 50u | (100u << 8) | (200u << 16) | (255u << 24));
  layered_answer = 1;
  end_frame();
  EXPECT_EQ(w.layered_presents, 1u);
  EXPECT_EQ(counts.layered_bitmaps, bitmaps + 1);  // the bitmap is kept

  w.client_width = 2049;  // too wide: skipped before any bitmap work
  end_frame();
  EXPECT_EQ(w.layered_presented, 0);
  EXPECT_EQ(layered_updates, 2);
  // A new size whose bytes would pass the process total: skipped, old bitmap kept.
  w.client_width = 199;
  counts.layered_bytes = layered_max_total_bytes - 199 * 120 * 4 + 1 + w.layered_bytes;
  end_frame();
  EXPECT_EQ(w.layered_presented, 0);
  EXPECT_EQ(w.layered_width, 200u);
  counts.layered_bytes -= 1;  // now it fits exactly
  end_frame();
  EXPECT_EQ(w.layered_presented, 1);
  EXPECT_EQ(w.layered_width, 199u);
  EXPECT_EQ(counts.layered_bytes, layered_max_total_bytes);

  counts.layered_bytes = bytes + w.layered_bytes;
  w.client_width = 200;
  w.translucent = 0;
}

}  // namespace
}  // namespace orvi
