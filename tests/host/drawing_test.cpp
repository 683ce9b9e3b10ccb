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
    if (on) {
      glEnable(gl_framebuffer_srgb);
    } else {
      glDisable(gl_framebuffer_srgb);
    }
  }
  // Client (x, y), y downward, from the back buffer.
  static rgb pixel(int x, int y) {
    std::array<GLubyte, 4> p{};
    glReadBuffer(GL_BACK);
    glReadPixels(x, static_cast<GLint>(window().client_height) - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return {p[0], p[1], p[2]};
  }
  static std::uint8_t confirmed_pipeline_;

 private:
  static canvas_window* shared_;
};
canvas_window* Drawing::shared_ = nullptr;
std::uint8_t Drawing::confirmed_pipeline_ = 0;

// Once a swap has happened, Mesa converts clears of an sRGB-capable buffer
// even with GL_FRAMEBUFFER_SRGB disabled, so the background is sampled from a
// corner nothing draws on.
rgb background_of_frame() { return Drawing::pixel(199, 119); }

TEST_F(Drawing, RectanglesFillTheirAreaAndANegativeHeightExtendsUpward) {
  begin_frame(17, 27, 34);
  const rgb background = background_of_frame();
  draw_rect_rgba(10, 10, 30, 20, 200, 100, 50);
  draw_rect_rgba(100, 60, 10, -20, 0, 255, 0);
  draw_rect_rgba(150, 60, -5, 20, 255, 255, 255);
  EXPECT_EQ(pixel(15, 15), (rgb{200, 100, 50}));
  EXPECT_EQ(pixel(10, 10), (rgb{200, 100, 50}));
  EXPECT_EQ(pixel(39, 29), (rgb{200, 100, 50}));
  EXPECT_EQ(pixel(40, 15), background);
  EXPECT_EQ(pixel(15, 30), background);
  EXPECT_EQ(pixel(105, 45), (rgb{0, 255, 0}));
  EXPECT_EQ(pixel(105, 65), background);
  EXPECT_EQ(pixel(148, 70), background);
  EXPECT_EQ(pixel(150, 70), background);
  end_frame();
}

TEST_F(Drawing, RoundedRectanglesShowTheBackgroundInTheirCorners) {
  const rgb white{255, 255, 255};
  begin_frame(17, 27, 34);
  const rgb background = background_of_frame();
  draw_rounded_rect_rgba(60, 10, 40, 40, 12, 255, 255, 255);
  EXPECT_EQ(pixel(80, 30), white);
  EXPECT_EQ(pixel(61, 30), white);
  EXPECT_EQ(pixel(80, 11), white);
  for (const auto& corner : {POINT{60, 10}, POINT{99, 10}, POINT{60, 49}, POINT{99, 49}}) {
    EXPECT_EQ(pixel(corner.x, corner.y), background) << corner.x << "," << corner.y;
  }
  // Radius limited to half the width (5): corners round, middle filled.
  draw_rounded_rect_rgba(120, 10, 10, 40, 12, 255, 255, 255);
  EXPECT_EQ(pixel(120, 10), background);
  EXPECT_EQ(pixel(120, 30), white);
  EXPECT_EQ(pixel(125, 12), white);
  // Radius 0: the plain rectangle, corners included. Width 0: nothing.
  draw_rounded_rect_rgba(140, 10, 20, 20, 0, 255, 255, 255);
  EXPECT_EQ(pixel(140, 10), white);
  draw_rounded_rect_rgba(170, 10, 0, 20, 4, 255, 255, 255);
  draw_rounded_rect_rgba(170, 10, 20, 0, 4, 255, 255, 255);
  EXPECT_EQ(pixel(170, 15), background);
  EXPECT_EQ(pixel(175, 10), background);
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

struct text_recording {
  std::vector<std::string> lists;
  std::vector<std::pair<float, float>> raster;
  std::vector<GLuint> bases;
};
text_recording* recording = nullptr;

void APIENTRY record_call_lists(GLsizei n, GLenum type, const void* lists) {
  EXPECT_EQ(type, static_cast<GLenum>(GL_UNSIGNED_BYTE));
  recording->lists.emplace_back(static_cast<const char*>(lists), static_cast<std::size_t>(n));
}
void APIENTRY record_raster(GLfloat x, GLfloat y) { recording->raster.emplace_back(x, y); }
void APIENTRY record_list_base(GLuint base) { recording->bases.push_back(base); }

TEST_F(Drawing, TextDrawsPrintableRunsAndOneQuestionMarkPerOtherCharacter) {
  testing::scoped_platform scope;
  platform().gl_call_lists = &record_call_lists;
  platform().gl_raster_pos2f = &record_raster;
  platform().gl_list_base = &record_list_base;
  text_recording r;
  recording = &r;
  const auto& fonts = window().fonts;
  const auto draw = [&](std::string_view text, std::int32_t style) {
    r = {};
    draw_text_styled(text, 5, 7, style, 221, 233, 230);
  };

  draw("a\tb", 249);
  EXPECT_EQ(r.lists, (std::vector<std::string>{"a", "?", "b"}));
  EXPECT_EQ(r.raster, (std::vector<std::pair<float, float>>{{5.0f, 19.0f}}));
  EXPECT_EQ(r.bases, std::vector<GLuint>{fonts[5].list_base - 32});

  draw("caf\xC3\xA9 ok", 250);
  EXPECT_EQ(r.lists, (std::vector<std::string>{"caf", "?", " ok"}));
  EXPECT_EQ(r.raster.at(0).second, 23.0f);
  EXPECT_EQ(r.bases, std::vector<GLuint>{fonts[7].list_base - 32});

  draw("\xE0\x80\x80", 330);
  EXPECT_EQ(r.lists, (std::vector<std::string>{"?", "?", "?"}));
  EXPECT_EQ(r.raster.at(0).second, 30.0f);
  EXPECT_EQ(r.bases, std::vector<GLuint>{fonts[9].list_base - 32});

  draw("x", 331);
  EXPECT_EQ(r.bases, std::vector<GLuint>{fonts[7].list_base - 32});

  draw("", 100);
  EXPECT_TRUE(r.lists.empty());
  EXPECT_TRUE(r.raster.empty());
  recording = nullptr;
}

void expect_canvas_error(const std::function<void()>& operation, const std::string& name) {
  try {
    operation();
    ADD_FAILURE() << name << " did not raise";
  } catch (const tovi_runtime_exception& error) {
    EXPECT_EQ(error.record().code, "window.canvas");
    EXPECT_EQ(error.record().module, "tovi_window_input_canvas");
    EXPECT_EQ(error.record().message, "window/canvas runtime window is not open for " + name);
  }
}

TEST_F(Drawing, EveryOperationRaisesWithoutAnOpenWindowButTheKeyQuery) {
  window().open = 0;
  expect_canvas_error([] { begin_frame(0, 0, 0); }, "BeginFrame");
  expect_canvas_error([] { end_frame(); }, "EndFrame");
  expect_canvas_error([] { draw_text_styled("a", 0, 0, 100, 0, 0, 0); }, "DrawTextStyled");
  expect_canvas_error([] { draw_text("a", 0, 0, 1, 12, 0, 0, 0); }, "DrawText");
  expect_canvas_error([] { draw_rect_rgba(0, 0, 1, 1, 0, 0, 0); }, "DrawRectRgba");
  expect_canvas_error([] { draw_rounded_rect_rgba(0, 0, 9, 9, 2, 0, 0, 0); }, "DrawRoundedRectRgba");
  expect_canvas_error([] { mouse_x(); }, "MouseX");
  expect_canvas_error([] { mouse_y(); }, "MouseY");
  EXPECT_FALSE(key_pressed_by_name("a"));
  window().open = 1;
}

BOOL layered_answer = 1;
int layered_updates = 0;
BOOL WINAPI fake_update_layered(HWND, HDC, POINT*, SIZE* size, HDC source, POINT*, COLORREF, BLENDFUNCTION* blend,
                                DWORD flags) {
  ++layered_updates;
  EXPECT_NE(source, nullptr);
  EXPECT_EQ(size->cy, 120);
  EXPECT_EQ(blend->SourceConstantAlpha, 255);
  EXPECT_EQ(blend->AlphaFormat, AC_SRC_ALPHA);
  EXPECT_EQ(flags, static_cast<DWORD>(ULW_ALPHA));
  return layered_answer;
}
BOOL WINAPI fake_show(HWND, int) { return TRUE; }

TEST_F(Drawing, LayeredPresentCountsOnlyASuccessfulUpdateAndKeepsItsLimits) {
  testing::scoped_platform scope;
  platform().update_layered_window = &fake_update_layered;
  platform().show_window = &fake_show;
  canvas_window& w = window();
  auto& counts = get_render_resource_counts();
  const std::uint64_t bitmaps = counts.layered_bitmaps;
  const std::uint64_t bytes = counts.layered_bytes;
  w.translucent = 1;
  w.shown = 0;

  layered_answer = 2;  // not 1: not presented
  begin_frame(0, 0, 0);
  draw_rect_rgba(0, 0, 1, 1, 200, 100, 50);
  end_frame();
  EXPECT_EQ(layered_updates, 1);
  EXPECT_EQ(w.layered_presented, 0);
  EXPECT_EQ(w.layered_presents, 0u);
  EXPECT_EQ(counts.layered_bitmaps, bitmaps + 1);
  EXPECT_EQ(counts.layered_bytes, bytes + 200 * 120 * 4);
  EXPECT_EQ(w.layered_probe_pixel, 50u | (100u << 8) | (200u << 16) | (255u << 24));

  layered_answer = 1;
  end_frame();
  EXPECT_EQ(w.layered_presented, 1);
  EXPECT_EQ(w.layered_presents, 1u);
  EXPECT_EQ(w.shown, 1);
  EXPECT_EQ(counts.layered_bitmaps, bitmaps + 1);  // the bitmap is kept

  // Too wide: skipped before any bitmap work.
  w.client_width = 2049;
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
