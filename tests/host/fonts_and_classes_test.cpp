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

// What the fakes answer, and what they were given.
struct font_answers {
  GLuint list_base = 500;
  bool select_fails = false;
  BOOL use_bitmaps = TRUE, char_width_ok = TRUE;
  INT space_advance = 6;
  std::vector<std::pair<int, int>> fonts_made{};  // height, weight
  int fonts_deleted = 0, lists_deleted = 0;
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
      return *widths = answers.space_advance, answers.char_width_ok;
    };
    p.gl_new_list = [](GLuint list, GLenum) { answers.recorded_list = list; };
    p.gl_end_list = [] {};
    p.gl_bitmap = [](GLsizei, GLsizei, GLfloat, GLfloat, GLfloat x, GLfloat, const GLubyte*) {
      answers.recorded_advance = x;
    };
    p.delete_object = [](HGDIOBJ) { return ++answers.fonts_deleted, TRUE; };
  }
  testing::scoped_platform platform_guard_;
};

// Mesa records the space as a bitmap that does not move the raster position;
// the space's list is re-recorded with the font's own advance, unless its
// width is unknown. Failures give zero and free the lists; the previous font
// is selected again.
TEST_F(Fonts, TheSpaceGetsTheFontsAdvanceAndFailuresGiveZero) {
  // Answers; then the lists' base, the space's list and advance, lists freed, the last font selected.
  const std::vector<std::tuple<font_answers, GLuint, GLuint, GLfloat, int, HGDIOBJ>> rows{
      {{}, 500, 500, 6, 0, previous_font},
      {{.char_width_ok = FALSE}, 500, 0, 0, 0, previous_font},
      {{.space_advance = 0}, 500, 0, 0, 0, previous_font},
      {{.list_base = 0}, 0, 0, 0, 0, nullptr},
      {{.select_fails = true}, 0, 0, 0, 1, font},
      {{.use_bitmaps = FALSE}, 0, 0, 0, 1, previous_font},
  };
  for (const auto& [answer, base, list, advance, freed, selected] : rows) {
    answers = answer;
    EXPECT_EQ(build_font_display_lists(device, font), base);
    EXPECT_EQ(std::make_tuple(answers.recorded_list, answers.recorded_advance, answers.lists_deleted, answers.selected),
              std::make_tuple(list, advance, freed, selected));
  }
  EXPECT_EQ(build_font_display_lists(device, nullptr), 0u);
}

TEST_F(Fonts, WindowGetsTenSlotsInOrderAndFailedSlotsStayEmpty) {
  answers = {};
  canvas_window window;
  window.device_context = device;
  build_window_fonts(window);
  const std::vector<std::pair<int, int>> sizes{{-12, 400}, {-12, 700}, {-13, 400}, {-13, 700}, {-15, 400},
                                               {-15, 700}, {-20, 400}, {-20, 700}, {-28, 400}, {-28, 700}};
  EXPECT_EQ(answers.fonts_made, sizes);
  for (std::size_t i = 0; i < window.fonts.size(); ++i)
    EXPECT_EQ(std::make_tuple(window.fonts[i].list_base, window.fonts[i].font),
              std::make_tuple(500u, fake_handle<HFONT>(1001 + i)));
  answers.use_bitmaps = FALSE;
  build_window_fonts(window);
  for (const auto& slot : window.fonts)
    EXPECT_EQ(std::make_tuple(slot.list_base, slot.font), std::make_tuple(0u, nullptr));
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
    return ++dpi_calls, FALSE;                         // as under Wine; ignored
  };
  platform().register_class_w = [](const WNDCLASSW* window_class) {
    return registered.push_back(*window_class), ATOM{0};  // ignored too
  };
  register_canvas_window_classes();
  register_canvas_window_classes();
  EXPECT_EQ(dpi_calls, 1);
  ASSERT_EQ(registered.size(), 2u) << "a second call does nothing";
  EXPECT_EQ(std::make_tuple(std::wstring(registered[0].lpszClassName), registered[0].style,
                            std::wstring(registered[1].lpszClassName), registered[1].hbrBackground),
            std::make_tuple(L"orvi_window_input_canvas_window", UINT{CS_OWNDC},
                            L"orvi_window_input_canvas_translucent_window", nullptr));
  for (const auto& c : registered) EXPECT_EQ(c.lpfnWndProc, &canvas_window_proc);
  LOGBRUSH brush{};
  ASSERT_NE(GetObjectW(registered[0].hbrBackground, sizeof(brush), &brush), 0);
  EXPECT_EQ(brush.lbColor, RGB(10, 11, 13));
}

}  // namespace
}  // namespace orvi
