// Font display lists and class registration through fakes: the failure
// branches and the recorded space advance.
#include "host/fonts.hpp"
#include "host/window_classes.hpp"
#include "host/window_proc.hpp"

#include "tests/host/fake_platform.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace orvi {
namespace {

using testing::fake_handle;

// What the fakes answer, and what they were given; reset before every test.
struct font_answers {
  GLuint list_base = 500;
  bool select_fails = false;
  BOOL use_bitmaps = TRUE;
  BOOL char_width_ok = TRUE;
  INT space_advance = 6;
  std::vector<std::pair<int, int>> fonts_made{};  // height, weight
  int fonts_deleted = 0;
  int lists_deleted = 0;
  HGDIOBJ selected = nullptr;  // the last font selected
  GLuint recorded_list = 0;
  GLfloat recorded_advance = 0;
};
font_answers answers;

const HDC device = fake_handle<HDC>(40);
const HFONT font = fake_handle<HFONT>(77);
const HGDIOBJ previous_font = fake_handle<HGDIOBJ>(41);

class Fonts : public ::testing::Test {
 protected:
  void SetUp() override {
    answers = {};
    // On x86-64 WINAPI and APIENTRY add nothing, so plain lambdas fit the table.
    auto& p = platform();
    p.create_font_a = [](int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                         LPCSTR) {
      answers.fonts_made.emplace_back(height, weight);
      return fake_handle<HFONT>(1000 + answers.fonts_made.size());
    };
    p.gl_gen_lists = [](GLsizei) { return answers.list_base; };
    p.gl_delete_lists = [](GLuint base, GLsizei count) { answers.lists_deleted += base == 500 && count == 96; };
    p.select_object = [](HDC, HGDIOBJ object) {
      answers.selected = object;
      return answers.select_fails ? nullptr : object == previous_font ? fake_handle<HGDIOBJ>(1) : previous_font;
    };
    p.wgl_use_font_bitmaps_a = [](HDC, DWORD, DWORD, DWORD) { return answers.use_bitmaps; };
    p.get_char_width32_a = [](HDC, UINT, UINT, LPINT widths) {
      *widths = answers.space_advance;
      return answers.char_width_ok;
    };
    p.gl_new_list = [](GLuint list, GLenum) { answers.recorded_list = list; };
    p.gl_end_list = [] {};
    p.gl_bitmap = [](GLsizei, GLsizei, GLfloat, GLfloat, GLfloat x, GLfloat, const GLubyte*) {
      answers.recorded_advance = x;
    };
    p.delete_object = [](HGDIOBJ) {
      ++answers.fonts_deleted;
      return TRUE;
    };
  }
  testing::scoped_platform platform_guard_;
};

// Mesa records the space as a bitmap that does not move the raster position;
// the space's list is re-recorded with the font's own advance.
TEST_F(Fonts, TheSpaceGetsTheFontsAdvance) {
  EXPECT_EQ(build_font_display_lists(device, font), 500u);
  EXPECT_EQ(answers.recorded_list, 500u);
  EXPECT_EQ(answers.recorded_advance, 6.0f);
  EXPECT_EQ(answers.selected, previous_font) << "the previous font is selected again";

  for (const font_answers& unknown : {font_answers{.char_width_ok = FALSE}, font_answers{.space_advance = 0}}) {
    answers = unknown;
    EXPECT_EQ(build_font_display_lists(device, font), 500u);
    EXPECT_EQ(answers.recorded_list, 0u) << "a space of unknown width is left alone";
  }
}

TEST_F(Fonts, FailuresGiveZeroAndFreeTheLists) {
  EXPECT_EQ(build_font_display_lists(device, nullptr), 0u);
  answers.list_base = 0;
  EXPECT_EQ(build_font_display_lists(device, font), 0u);
  EXPECT_EQ(answers.selected, nullptr);

  answers = {.select_fails = true};
  EXPECT_EQ(build_font_display_lists(device, font), 0u);
  EXPECT_EQ(answers.lists_deleted, 1);

  answers = {.use_bitmaps = FALSE};
  EXPECT_EQ(build_font_display_lists(device, font), 0u);
  EXPECT_EQ(answers.lists_deleted, 1);
  EXPECT_EQ(answers.selected, previous_font) << "the previous font is selected again";
}

TEST_F(Fonts, WindowGetsTenSlotsInOrderAndFailedSlotsStayEmpty) {
  canvas_window window;
  window.device_context = device;
  build_window_fonts(window);
  const std::vector<std::pair<int, int>> sizes{{-12, 400}, {-12, 700}, {-13, 400}, {-13, 700}, {-15, 400},
                                               {-15, 700}, {-20, 400}, {-20, 700}, {-28, 400}, {-28, 700}};
  EXPECT_EQ(answers.fonts_made, sizes);
  for (std::size_t i = 0; i < window.fonts.size(); ++i) {
    EXPECT_EQ(window.fonts[i].list_base, 500u);
    EXPECT_EQ(window.fonts[i].font, fake_handle<HFONT>(1001 + i));
  }

  answers.use_bitmaps = FALSE;
  build_window_fonts(window);
  for (const auto& slot : window.fonts) {
    EXPECT_EQ(slot.list_base, 0u);
    EXPECT_EQ(slot.font, nullptr);
  }
  EXPECT_EQ(answers.fonts_deleted, 10) << "a font whose lists failed is not kept";
}

// Counted through fakes; this program never registers the real classes, so
// the first call here is the process's first.
int dpi_calls = 0;
std::vector<WNDCLASSW> registered;

TEST(WindowClasses, RegisteredOnceWithTheirStyles) {
  testing::scoped_platform guard;
  platform().set_process_dpi_awareness_context = [](DPI_AWARENESS_CONTEXT value) {
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(value), -4);  // per-monitor aware, version 2
    ++dpi_calls;
    return FALSE;  // as under Wine; ignored
  };
  platform().register_class_w = [](const WNDCLASSW* window_class) {
    registered.push_back(*window_class);
    return ATOM{0};  // ignored too
  };
  register_canvas_window_classes();
  register_canvas_window_classes();
  EXPECT_EQ(dpi_calls, 1);
  ASSERT_EQ(registered.size(), 2u) << "a second call does nothing";
  EXPECT_EQ(std::wstring(registered[0].lpszClassName), L"orvi_window_input_canvas_window");
  EXPECT_EQ(registered[0].style, static_cast<UINT>(CS_OWNDC));
  EXPECT_EQ(std::wstring(registered[1].lpszClassName), L"orvi_window_input_canvas_translucent_window");
  EXPECT_EQ(registered[1].hbrBackground, nullptr);
  for (const auto& c : registered) EXPECT_EQ(c.lpfnWndProc, &canvas_window_proc);
  LOGBRUSH brush{};
  ASSERT_NE(GetObjectW(registered[0].hbrBackground, sizeof(brush), &brush), 0);
  EXPECT_EQ(brush.lbColor, RGB(10, 11, 13));
}

}  // namespace
}  // namespace orvi
