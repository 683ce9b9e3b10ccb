// The strict sRGB probe, the pipeline confirmation, font display lists and
// class registration through fakes of every platform call they make: the
// failure branches, and what is released and restored.
#include "host/fonts.hpp"
#include "host/pixel_format.hpp"
#include "host/window_classes.hpp"
#include "host/window_proc.hpp"

#include "tests/host/fake_platform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace orvi {
namespace {

using testing::fake_handle;

const HWND probe_window = fake_handle<HWND>(11);
const HDC probe_dc = fake_handle<HDC>(12), target_dc = fake_handle<HDC>(20), other_dc = fake_handle<HDC>(30);
const HGLRC temporary_context = fake_handle<HGLRC>(13), other_context = fake_handle<HGLRC>(31);

// What the fakes answer, and what they saw.
struct gl_answers {
  bool window_fails = false, dc_fails = false;
  std::intptr_t choose_entry = 1000, attrib_entry = 1000;  // 1000: the fake; else the raw value returned
  std::array<int, 12> attributes{1, 1, 1, 0x202B, 32, 8, 8, 8, 8, 24, 8, 1};
  bool restore_fails = false;
  HDC current_dc = nullptr;
  HGLRC current_context = nullptr;
  int window_pixel_format = 9;
  GLboolean srgb_enabled = GL_TRUE;
  GLuint texture_name = 77;
  GLint read_back_format = 0x8C43;  // GL_SRGB8_ALPHA8
  int held = 0;                     // the probe's window, device context, context and its binding, less those released
  HGLRC made_current = nullptr;
  bool srgb_on = false;  // GL_FRAMEBUFFER_SRGB
};
gl_answers answers;

template <typename Function>
PROC entry(std::intptr_t answer, Function fake) {
  return answer == 1000 ? reinterpret_cast<PROC>(reinterpret_cast<void*>(fake)) : reinterpret_cast<PROC>(answer);
}

class PixelFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    // On x86-64 WINAPI and APIENTRY add nothing, so plain lambdas fit the table.
    // Without a current context the GL calls left real do nothing.
    auto& p = platform();
    p.create_window_ex_w = [](DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
      return answers.window_fails ? nullptr : (++answers.held, probe_window);
    };
    p.get_dc = [](HWND) { return answers.dc_fails ? nullptr : (++answers.held, probe_dc); };
    p.release_dc = [](HWND w, HDC dc) { return answers.held -= w == probe_window && dc == probe_dc; };
    p.destroy_window = [](HWND w) { return answers.held -= w == probe_window; };
    p.choose_pixel_format = [](HDC, const PIXELFORMATDESCRIPTOR*) { return 5; };
    p.set_pixel_format = [](HDC, int, const PIXELFORMATDESCRIPTOR*) { return TRUE; };
    p.get_pixel_format = [](HDC) { return answers.window_pixel_format; };
    p.wgl_create_context = [](HDC) { return ++answers.held, temporary_context; };
    p.wgl_make_current = [](HDC dc, HGLRC rc) {
      answers.made_current = rc;
      answers.held += (rc == temporary_context) - (dc == nullptr && rc == nullptr);
      return dc != nullptr && dc != probe_dc && answers.restore_fails ? FALSE : TRUE;
    };
    p.wgl_delete_context = [](HGLRC rc) { return answers.held -= rc == temporary_context; };
    p.wgl_get_proc_address = [](LPCSTR name) {
      if (std::string(name) == "wglChoosePixelFormatARB")
        return entry(
            answers.choose_entry, +[](HDC, const int*, const FLOAT*, UINT, int* format, UINT* count) {
              return *format = 9, *count = 1, TRUE;
            });
      return entry(
          answers.attrib_entry, +[](HDC, int, int, UINT count, const int*, int* values) {
            return std::copy_n(answers.attributes.begin(), count, values), TRUE;
          });
    };
    p.wgl_get_current_dc = [] { return answers.current_dc; };
    p.wgl_get_current_context = [] { return answers.current_context; };
    p.gl_enable = [](GLenum cap) { answers.srgb_on |= cap == 0x8DB9; };
    p.gl_disable = [](GLenum cap) { answers.srgb_on &= cap != 0x8DB9; };
    p.gl_is_enabled = [](GLenum) { return answers.srgb_enabled; };
    p.gl_gen_textures = [](GLsizei, GLuint* names) { *names = answers.texture_name; };
    p.gl_get_tex_level_parameteriv = [](GLenum, GLint, GLenum, GLint* value) { *value = answers.read_back_format; };
  }
  testing::scoped_platform platform_guard_;
};

TEST_F(PixelFormat, ProbeFindsTheFormatOrZeroAndAlwaysCleansUpVerificationNeedsEveryMinimum) {
  // What the fakes answer; the probe's result. Whatever it took, it released.
  const std::vector<std::tuple<const char*, gl_answers, int>> rows{
      {"found", {}, 9},
      {"found, previous context restored", {.current_dc = other_dc, .current_context = other_context}, 9},
      // Some drivers answer small integers or -1 for a missing entry point.
      {"choose entry 0", {.choose_entry = 0}, 0},
      {"choose entry 3", {.choose_entry = 3}, 0},
      {"choose entry -1", {.choose_entry = -1}, 0},
      {"no verification entry", {.attrib_entry = 0}, 0},
      {"not sRGB capable", {.attributes = {1, 1, 1, 0x202B, 32, 8, 8, 8, 8, 24, 8, 0}}, 0},
      {"previous context not restored",
       {.restore_fails = true, .current_dc = other_dc, .current_context = other_context},
       0},
      // A device context without a context cannot be restored either.
      {"half a previous context", {.current_dc = other_dc}, 0},
      {"no probe window", {.window_fails = true}, 0},
      {"no probe device context", {.dc_fails = true}, 0},
  };
  for (const auto& [name, answer, format] : rows) {
    answers = answer;
    EXPECT_EQ(choose_srgb_pixel_format(target_dc), format) << name;
    EXPECT_EQ(std::make_tuple(answers.held, answers.made_current), std::make_tuple(0, answer.current_context)) << name;
  }
  EXPECT_EQ(choose_srgb_pixel_format(nullptr), 0);

  answers = {};
  EXPECT_TRUE(check_srgb_pixel_format(target_dc, 9));
  EXPECT_FALSE(check_srgb_pixel_format(nullptr, 9) || check_srgb_pixel_format(target_dc, 0));
  // One attribute at a time just below what the request asks.
  const std::array<int, 11> too_low{0, 0, 0, 0x2025, 23, 7, 7, 7, 7, 23, 7};
  for (std::size_t i = 0; i < too_low.size(); ++i) {
    answers = {};
    answers.attributes[i] = too_low[i];
    EXPECT_FALSE(check_srgb_pixel_format(target_dc, 9)) << "attribute " << i;
  }
}

TEST_F(PixelFormat, PipelineConfirmedOnlyByTheTextureReadBackAndSrgbLeftOffOtherwise) {
  const std::vector<std::pair<const char*, gl_answers>> cases{
      {"GL_SRGB8_ALPHA8 read back", {}},
      {"probed format not the window's", {.window_pixel_format = 4}},
      {"enable refused", {.srgb_enabled = GL_FALSE}},
      {"no texture", {.texture_name = 0}},
      {"plain RGBA8 read back", {.read_back_format = 0x8058}},
  };
  for (const auto& [name, answer] : cases) {
    answers = answer;
    const srgb_confirmation result = confirm_srgb_pipeline(target_dc, 9);
    const bool confirmed = name == cases[0].first;
    EXPECT_EQ(std::make_tuple(result.strict_srgb_format, result.srgb_pipeline, answers.srgb_on && answers.srgb_enabled),
              std::make_tuple(answer.window_pixel_format == 9, confirmed, confirmed))
        << name;
  }
}

// What the font fakes answer, and what they were given.
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
font_answers fonts;
const HDC device = fake_handle<HDC>(40);
const HFONT font = fake_handle<HFONT>(77);
const HGDIOBJ previous_font = fake_handle<HGDIOBJ>(41);

// Mesa records the space as a bitmap that does not move the raster position;
// the space's list is re-recorded with the font's own advance, unless its
// width is unknown. Failures give zero and free the lists; the previous font
// is selected again. A window gets ten slots; failed ones stay empty.
TEST(Fonts, TheSpaceGetsTheFontsAdvanceFailuresGiveZeroAndFailedSlotsStayEmpty) {
  testing::scoped_platform guard;
  auto& p = platform();
  p.create_font_a = [](int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                       LPCSTR) {
    fonts.fonts_made.emplace_back(height, weight);
    return fake_handle<HFONT>(1000 + fonts.fonts_made.size());
  };
  p.gl_gen_lists = [](GLsizei) { return fonts.list_base; };
  p.gl_delete_lists = [](GLuint base, GLsizei count) { fonts.lists_deleted += base == 500 && count == 96; };
  p.select_object = [](HDC, HGDIOBJ object) {
    fonts.selected = object;
    return fonts.select_fails ? nullptr : object == previous_font ? fake_handle<HGDIOBJ>(1) : previous_font;
  };
  p.wgl_use_font_bitmaps_a = [](HDC, DWORD, DWORD, DWORD) { return fonts.use_bitmaps; };
  p.get_char_width32_a = [](HDC, UINT, UINT, LPINT widths) {
    return *widths = fonts.space_advance, fonts.char_width_ok;
  };
  p.gl_new_list = [](GLuint list, GLenum) { fonts.recorded_list = list; };
  p.gl_bitmap = [](GLsizei, GLsizei, GLfloat, GLfloat, GLfloat x, GLfloat, const GLubyte*) {
    fonts.recorded_advance = x;
  };
  p.delete_object = [](HGDIOBJ) { return ++fonts.fonts_deleted, TRUE; };

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
    fonts = answer;
    EXPECT_EQ(build_font_display_lists(device, font), base);
    EXPECT_EQ(std::make_tuple(fonts.recorded_list, fonts.recorded_advance, fonts.lists_deleted, fonts.selected),
              std::make_tuple(list, advance, freed, selected));
  }
  EXPECT_EQ(build_font_display_lists(device, nullptr), 0u);

  for (const BOOL filled : {TRUE, FALSE}) {
    fonts = {.use_bitmaps = filled};
    canvas_window window;
    window.device_context = device;
    build_window_fonts(window);
    std::vector<std::pair<int, int>> sizes;  // 12, 13, 15, 20 and 28 pixels, regular then bold
    for (int height : {12, 13, 15, 20, 28}) sizes.insert(sizes.end(), {{-height, 400}, {-height, 700}});
    EXPECT_EQ(std::make_tuple(fonts.fonts_made, fonts.fonts_deleted), std::make_tuple(sizes, filled ? 0 : 10));
    for (std::size_t i = 0; i < window.fonts.size(); ++i)
      EXPECT_EQ(std::make_tuple(window.fonts[i].list_base, window.fonts[i].font),
                filled ? std::make_tuple(500u, fake_handle<HFONT>(1001 + i)) : std::make_tuple(0u, HFONT{}));
  }
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
