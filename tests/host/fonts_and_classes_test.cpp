// Font display lists and class registration through fakes: the failure
// branches and the exact calls.
#include "host/fonts.hpp"
#include "host/window_classes.hpp"
#include "host/window_proc.hpp"

#include "tests/host/fake_platform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace orvi {
namespace {

using testing::call_log;
using testing::fake_handle;
using testing::handle_text;
using testing::log_call;

struct font_answers {
  GLuint list_base = 500;
  bool select_fails = false;
  BOOL use_bitmaps = TRUE;
  BOOL char_width_ok = TRUE;
  INT space_advance = 6;
  int fonts_made = 0;
};
font_answers answers;

const HDC device = fake_handle<HDC>(40);
const HGDIOBJ previous_font = fake_handle<HGDIOBJ>(41);

HFONT WINAPI fake_create_font(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                              DWORD underline, DWORD strike, DWORD charset, DWORD precision, DWORD clip, DWORD quality,
                              DWORD pitch, LPCSTR face) {
  log_call("create_font " + std::to_string(height) + " " + std::to_string(weight));
  EXPECT_EQ(width + escapement + orientation, 0);
  EXPECT_EQ(italic + underline + strike, 0u);
  EXPECT_EQ(charset, static_cast<DWORD>(DEFAULT_CHARSET));
  EXPECT_EQ(precision, static_cast<DWORD>(OUT_TT_PRECIS));
  EXPECT_EQ(clip, static_cast<DWORD>(CLIP_DEFAULT_PRECIS));
  EXPECT_EQ(quality, static_cast<DWORD>(CLEARTYPE_QUALITY));
  EXPECT_EQ(pitch, static_cast<DWORD>(DEFAULT_PITCH));
  EXPECT_EQ(std::string(face), "Segoe UI");
  return fake_handle<HFONT>(1000 + ++answers.fonts_made);
}
GLuint APIENTRY fake_gen_lists(GLsizei count) {
  EXPECT_EQ(count, 96);
  return answers.list_base;
}
void APIENTRY fake_delete_lists(GLuint base, GLsizei count) {
  log_call("delete_lists " + std::to_string(base) + " " + std::to_string(count));
}
HGDIOBJ WINAPI fake_select(HDC, HGDIOBJ object) {
  log_call("select " + handle_text(object));
  if (answers.select_fails) return nullptr;
  return object == previous_font ? fake_handle<HGDIOBJ>(1) : previous_font;
}
BOOL WINAPI fake_use_bitmaps(HDC, DWORD first, DWORD count, DWORD base) {
  log_call("use_bitmaps " + std::to_string(first) + " " + std::to_string(count) + " " + std::to_string(base));
  return answers.use_bitmaps;
}
BOOL WINAPI fake_char_width(HDC, UINT first, UINT last, LPINT widths) {
  EXPECT_EQ(first, 32u);
  EXPECT_EQ(last, 32u);
  *widths = answers.space_advance;
  return answers.char_width_ok;
}
void APIENTRY fake_new_list(GLuint list, GLenum mode) {
  log_call("new_list " + std::to_string(list) + (mode == GL_COMPILE ? " compile" : " other"));
}
void APIENTRY fake_end_list() { log_call("end_list"); }
void APIENTRY fake_bitmap(GLsizei w, GLsizei h, GLfloat, GLfloat, GLfloat xmove, GLfloat ymove, const GLubyte* bits) {
  log_call("bitmap " + std::to_string(w) + "x" + std::to_string(h) + " move " + std::to_string(int(xmove)) + "," +
           std::to_string(int(ymove)) + " bits " + std::to_string(bits[0]));
}
BOOL WINAPI fake_delete_object(HGDIOBJ object) {
  log_call("delete_object " + handle_text(object));
  return TRUE;
}

class Fonts : public ::testing::Test {
 protected:
  void SetUp() override {
    answers = {};
    call_log().clear();
    auto& p = platform();
    p.create_font_a = &fake_create_font;
    p.gl_gen_lists = &fake_gen_lists;
    p.gl_delete_lists = &fake_delete_lists;
    p.select_object = &fake_select;
    p.wgl_use_font_bitmaps_a = &fake_use_bitmaps;
    p.get_char_width32_a = &fake_char_width;
    p.gl_new_list = &fake_new_list;
    p.gl_end_list = &fake_end_list;
    p.gl_bitmap = &fake_bitmap;
    p.delete_object = &fake_delete_object;
  }
  testing::scoped_platform platform_guard_;
};

TEST_F(Fonts, ListsBuiltAndTheSpaceGetsTheFontsAdvance) {
  const HFONT font = fake_handle<HFONT>(77);
  EXPECT_EQ(build_font_display_lists(device, font), 500u);
  const std::vector<std::string> expected{
      "select 77", "use_bitmaps 32 96 500", "new_list 500 compile", "bitmap 1x1 move 6,0 bits 0", "end_list",
      "select 41"};
  EXPECT_EQ(call_log(), expected);
}

TEST_F(Fonts, SpaceLeftAloneWhenItsWidthIsUnknown) {
  answers.char_width_ok = FALSE;
  EXPECT_EQ(build_font_display_lists(device, fake_handle<HFONT>(77)), 500u);
  EXPECT_EQ(call_log(), (std::vector<std::string>{"select 77", "use_bitmaps 32 96 500", "select 41"}));
}

TEST_F(Fonts, FailuresGiveZeroAndFreeTheLists) {
  EXPECT_EQ(build_font_display_lists(device, nullptr), 0u);
  EXPECT_TRUE(call_log().empty());

  answers.list_base = 0;
  EXPECT_EQ(build_font_display_lists(device, fake_handle<HFONT>(77)), 0u);
  EXPECT_TRUE(call_log().empty());

  answers.list_base = 500;
  answers.select_fails = true;
  EXPECT_EQ(build_font_display_lists(device, fake_handle<HFONT>(77)), 0u);
  EXPECT_EQ(call_log(), (std::vector<std::string>{"select 77", "delete_lists 500 96"}));

  call_log().clear();
  answers.select_fails = false;
  answers.use_bitmaps = FALSE;
  EXPECT_EQ(build_font_display_lists(device, fake_handle<HFONT>(77)), 0u);
  EXPECT_EQ(call_log(),
            (std::vector<std::string>{"select 77", "use_bitmaps 32 96 500", "select 41", "delete_lists 500 96"}));
}

TEST_F(Fonts, WindowGetsTenSlotsInOrderAndFailedSlotsStayEmpty) {
  canvas_window window;
  window.device_context = device;
  build_window_fonts(window);
  const std::vector<std::pair<int, int>> sizes{{12, 400}, {12, 700}, {13, 400}, {13, 700}, {15, 400},
                                               {15, 700}, {20, 400}, {20, 700}, {28, 400}, {28, 700}};
  std::vector<std::string> made;
  for (const auto& call : call_log()) {
    if (call.rfind("create_font", 0) == 0) made.push_back(call);
  }
  ASSERT_EQ(made.size(), 10u);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(made[i], "create_font " + std::to_string(-sizes[i].first) + " " + std::to_string(sizes[i].second));
    EXPECT_EQ(window.fonts[i].list_base, 500u);
    EXPECT_EQ(window.fonts[i].font, fake_handle<HFONT>(1001 + i));
  }

  call_log().clear();
  answers.use_bitmaps = FALSE;
  build_window_fonts(window);
  for (const auto& slot : window.fonts) {
    EXPECT_EQ(slot.list_base, 0u);
    EXPECT_EQ(slot.font, nullptr);
  }
  EXPECT_EQ(std::count_if(call_log().begin(), call_log().end(),
                          [](const std::string& c) { return c.rfind("delete_object", 0) == 0; }),
            10)
      << "a font whose lists failed is not kept";
}

// Class registration: counted through fakes; this program never registers the
// real classes, so the first call here is the process's first.
int dpi_calls = 0;
std::vector<WNDCLASSW> registered;
BOOL WINAPI fake_dpi(DPI_AWARENESS_CONTEXT value) {
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(value), -4);
  ++dpi_calls;
  return FALSE;  // as under Wine; ignored
}
ATOM WINAPI fake_register_class(const WNDCLASSW* window_class) {
  registered.push_back(*window_class);
  return 0;  // ignored too
}

TEST(WindowClasses, RegisteredOnceWithTheirStyles) {
  testing::scoped_platform guard;
  platform().set_process_dpi_awareness_context = &fake_dpi;
  platform().register_class_w = &fake_register_class;
  register_canvas_window_classes();
  register_canvas_window_classes();
  EXPECT_EQ(dpi_calls, 1);
  ASSERT_EQ(registered.size(), 2u);
  EXPECT_EQ(std::wstring(registered[0].lpszClassName), L"orvi_window_input_canvas_window");
  EXPECT_EQ(registered[0].style, static_cast<UINT>(CS_OWNDC));
  EXPECT_NE(registered[0].hbrBackground, nullptr);
  EXPECT_EQ(std::wstring(registered[1].lpszClassName), L"orvi_window_input_canvas_translucent_window");
  EXPECT_EQ(registered[1].style, 0u);
  EXPECT_EQ(registered[1].hbrBackground, nullptr);
  for (const auto& c : registered) {
    EXPECT_EQ(c.lpfnWndProc, &canvas_window_proc);
    EXPECT_NE(c.hCursor, nullptr);
    EXPECT_EQ(c.hIcon, nullptr);
    EXPECT_EQ(c.lpszMenuName, nullptr);
    EXPECT_EQ(c.cbClsExtra + c.cbWndExtra, 0);
  }
  LOGBRUSH brush{};
  ASSERT_NE(GetObjectW(registered[0].hbrBackground, sizeof(brush), &brush), 0);
  EXPECT_EQ(brush.lbColor, RGB(10, 11, 13));
}

}  // namespace
}  // namespace orvi
