// The strict sRGB probe, its verification and the pipeline confirmation,
// through fakes of every platform call they make.
#include "host/pixel_format.hpp"

#include "tests/host/fake_platform.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvi {
namespace {

using testing::call_log;
using testing::fake_handle;
using testing::handle_text;
using testing::log_call;

constexpr int gl_framebuffer_srgb = 0x8DB9;

// What the fakes answer; reset before every test.
struct fake_answers {
  bool window_fails = false;
  bool dc_fails = false;
  int legacy_format = 5;
  std::intptr_t choose_entry = 1000;  // 1000: the fake; else the raw value returned
  std::intptr_t attrib_entry = 1000;
  BOOL choose_result = TRUE;
  UINT choose_count = 1;
  int chosen_format = 9;
  std::array<int, 12> attributes{1, 1, 1, 0x202B, 32, 8, 8, 8, 8, 24, 8, 1};
  bool restore_fails = false;
  HDC current_dc = nullptr;
  HGLRC current_context = nullptr;
  int window_pixel_format = 9;
  GLboolean srgb_enabled = GL_TRUE;
  GLuint texture_name = 77;
  GLint read_back_format = 0x8C43;
};
fake_answers answers;

const HWND probe_window = fake_handle<HWND>(11);
const HDC probe_dc = fake_handle<HDC>(12);
const HGLRC temporary_context = fake_handle<HGLRC>(13);
const HDC target_dc = fake_handle<HDC>(20);

BOOL WINAPI fake_choose_arb(HDC dc, const int* attributes, const FLOAT* floats, UINT max, int* format, UINT* count) {
  log_call("choose_arb " + handle_text(dc));
  EXPECT_EQ(floats, nullptr);
  EXPECT_EQ(max, 1u);
  const std::vector<int> expected{0x2001, 1, 0x2010, 1, 0x2011, 1,  0x2013, 0x202B, 0x2014, 24, 0x2015, 8, 0x2017, 8,
                                  0x2019, 8, 0x201B, 8, 0x2022, 24, 0x2023, 8,      0x20A9, 1,  0};
  EXPECT_EQ(std::vector<int>(attributes, attributes + expected.size()), expected);
  *format = answers.chosen_format;
  *count = answers.choose_count;
  return answers.choose_result;
}

BOOL WINAPI fake_attribiv_arb(HDC dc, int format, int layer, UINT count, const int* names, int* values) {
  log_call("attribiv " + handle_text(dc) + " " + std::to_string(format));
  EXPECT_EQ(layer, 0);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(names[11], 0x20A9);
  for (UINT i = 0; i < count; ++i) values[i] = answers.attributes[i];
  return TRUE;
}

PROC WINAPI fake_get_proc_address(LPCSTR name) {
  const std::string text = name;
  log_call("get_proc " + text);
  if (text == "wglChoosePixelFormatARB") {
    return answers.choose_entry == 1000 ? reinterpret_cast<PROC>(reinterpret_cast<void*>(&fake_choose_arb))
                                        : reinterpret_cast<PROC>(answers.choose_entry);
  }
  if (text == "wglGetPixelFormatAttribivARB") {
    return answers.attrib_entry == 1000 ? reinterpret_cast<PROC>(reinterpret_cast<void*>(&fake_attribiv_arb))
                                        : reinterpret_cast<PROC>(answers.attrib_entry);
  }
  return nullptr;
}

HWND WINAPI fake_create_window(DWORD, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int w, int h, HWND,
                               HMENU, HINSTANCE, LPVOID) {
  log_call("create_window");
  EXPECT_EQ(std::wstring(class_name), L"orvi_window_input_canvas_window");
  EXPECT_EQ(std::wstring(title), L"");
  EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  return answers.window_fails ? nullptr : probe_window;
}
HDC WINAPI fake_get_dc(HWND) { return answers.dc_fails ? nullptr : probe_dc; }
int WINAPI fake_release_dc(HWND window, HDC dc) {
  log_call("release_dc " + handle_text(window) + " " + handle_text(dc));
  return 1;
}
BOOL WINAPI fake_destroy_window(HWND window) {
  log_call("destroy_window " + handle_text(window));
  return TRUE;
}
int WINAPI fake_choose_pixel_format(HDC, const PIXELFORMATDESCRIPTOR* descriptor) {
  EXPECT_EQ(descriptor->cColorBits, 24);
  EXPECT_EQ(descriptor->dwFlags, 0x25u);
  return answers.legacy_format;
}
BOOL WINAPI fake_set_pixel_format(HDC, int, const PIXELFORMATDESCRIPTOR*) { return TRUE; }
int WINAPI fake_get_pixel_format(HDC) { return answers.window_pixel_format; }
HGLRC WINAPI fake_create_context(HDC) {
  log_call("create_context");
  return temporary_context;
}
BOOL WINAPI fake_make_current(HDC dc, HGLRC rc) {
  log_call("make_current " + handle_text(dc) + " " + handle_text(rc));
  const bool restoring = dc != nullptr && dc != probe_dc;
  return restoring && answers.restore_fails ? FALSE : TRUE;
}
BOOL WINAPI fake_delete_context(HGLRC rc) {
  log_call("delete_context " + handle_text(rc));
  return TRUE;
}
HDC WINAPI fake_current_dc() { return answers.current_dc; }
HGLRC WINAPI fake_current_context() { return answers.current_context; }

void APIENTRY fake_enable(GLenum cap) { log_call("enable " + std::to_string(cap)); }
void APIENTRY fake_disable(GLenum cap) { log_call("disable " + std::to_string(cap)); }
GLboolean APIENTRY fake_is_enabled(GLenum) { return answers.srgb_enabled; }
void APIENTRY fake_gen_textures(GLsizei, GLuint* names) { *names = answers.texture_name; }
void APIENTRY fake_bind_texture(GLenum, GLuint name) { log_call("bind " + std::to_string(name)); }
void APIENTRY fake_tex_image(GLenum, GLint, GLint internal_format, GLsizei w, GLsizei h, GLint, GLenum, GLenum,
                             const GLvoid* pixels) {
  log_call("tex_image " + std::to_string(internal_format) + " " + std::to_string(w) + "x" + std::to_string(h));
  const auto* bytes = static_cast<const GLubyte*>(pixels);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{128, 128, 128, 255}));
}
void APIENTRY fake_get_level(GLenum, GLint, GLenum, GLint* value) { *value = answers.read_back_format; }
void APIENTRY fake_delete_textures(GLsizei, const GLuint* names) {
  log_call("delete_texture " + std::to_string(*names));
}

class PixelFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    answers = {};
    call_log().clear();
    auto& p = platform();
    p.create_window_ex_w = &fake_create_window;
    p.get_dc = &fake_get_dc;
    p.release_dc = &fake_release_dc;
    p.destroy_window = &fake_destroy_window;
    p.choose_pixel_format = &fake_choose_pixel_format;
    p.set_pixel_format = &fake_set_pixel_format;
    p.get_pixel_format = &fake_get_pixel_format;
    p.wgl_create_context = &fake_create_context;
    p.wgl_make_current = &fake_make_current;
    p.wgl_delete_context = &fake_delete_context;
    p.wgl_get_proc_address = &fake_get_proc_address;
    p.wgl_get_current_dc = &fake_current_dc;
    p.wgl_get_current_context = &fake_current_context;
    p.gl_enable = &fake_enable;
    p.gl_disable = &fake_disable;
    p.gl_is_enabled = &fake_is_enabled;
    p.gl_gen_textures = &fake_gen_textures;
    p.gl_bind_texture = &fake_bind_texture;
    p.gl_tex_image_2d = &fake_tex_image;
    p.gl_get_tex_level_parameteriv = &fake_get_level;
    p.gl_delete_textures = &fake_delete_textures;
  }

  static bool logged(const std::string& call) {
    for (const auto& entry : call_log()) {
      if (entry == call) return true;
    }
    return false;
  }

  // The probe's window and temporary context are always released.
  static void expect_probe_cleaned_up() {
    EXPECT_TRUE(logged("make_current 0 0"));
    EXPECT_TRUE(logged("delete_context 13"));
    EXPECT_TRUE(logged("release_dc 11 12"));
    EXPECT_TRUE(logged("destroy_window 11"));
  }

  testing::scoped_platform platform_guard_;
};

TEST_F(PixelFormat, ProbeFindsTheStrictFormatAndCleansUp) {
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 9);
  const std::vector<std::string> expected{"create_window",      "create_context",
                                          "make_current 12 13", "get_proc wglChoosePixelFormatARB",
                                          "choose_arb 20",      "get_proc wglGetPixelFormatAttribivARB",
                                          "attribiv 20 9",      "make_current 0 0",
                                          "delete_context 13",  "release_dc 11 12",
                                          "destroy_window 11"};
  EXPECT_EQ(call_log(), expected);
}

TEST_F(PixelFormat, ProbeRestoresThePreviousContext) {
  answers.current_dc = fake_handle<HDC>(30);
  answers.current_context = fake_handle<HGLRC>(31);
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 9);
  EXPECT_EQ(call_log().back(), "make_current 30 31");
}

TEST_F(PixelFormat, ProbeGivesZeroWhenThePreviousContextCannotBeRestored) {
  answers.current_dc = fake_handle<HDC>(30);
  answers.current_context = fake_handle<HGLRC>(31);
  answers.restore_fails = true;
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0);

  answers.restore_fails = false;
  answers.current_context = nullptr;  // a device context without a context cannot be restored either
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0);
}

TEST_F(PixelFormat, ProbeTreatsSmallValuesAsAMissingEntryPoint) {
  for (std::intptr_t missing : {0, 1, 2, 3, -1}) {
    call_log().clear();
    answers.choose_entry = missing;
    EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0) << missing;
    EXPECT_FALSE(logged("choose_arb 20"));
    expect_probe_cleaned_up();
  }
}

TEST_F(PixelFormat, ProbeRefusesWhatTheVerificationRefuses) {
  answers.attrib_entry = 0;
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0);
  answers.attrib_entry = 1000;
  answers.attributes[9] = 16;  // 8 stencil bits but only 16 depth bits
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0);
  expect_probe_cleaned_up();
}

TEST_F(PixelFormat, ProbeStopsEarlyWithoutAWindowOrDeviceContext) {
  EXPECT_EQ(choose_srgb_pixel_format(nullptr), 0);
  EXPECT_TRUE(call_log().empty());

  answers.window_fails = true;
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0);
  EXPECT_EQ(call_log(), std::vector<std::string>{"create_window"});

  call_log().clear();
  answers.window_fails = false;
  answers.dc_fails = true;
  EXPECT_EQ(choose_srgb_pixel_format(target_dc), 0);
  EXPECT_EQ(call_log(), (std::vector<std::string>{"create_window", "destroy_window 11"}));
}

TEST_F(PixelFormat, VerificationNeedsEveryMinimumAndSrgb) {
  EXPECT_TRUE(check_srgb_pixel_format(target_dc, 9));
  EXPECT_FALSE(check_srgb_pixel_format(nullptr, 9));
  EXPECT_FALSE(check_srgb_pixel_format(target_dc, 0));

  const std::array<int, 12> good = answers.attributes;
  // One attribute at a time just below what the request asks.
  const std::array<int, 11> too_low{0, 0, 0, 0x2025, 23, 7, 7, 7, 7, 23, 7};
  for (std::size_t i = 0; i < too_low.size(); ++i) {
    answers.attributes = good;
    answers.attributes[i] = too_low[i];
    EXPECT_FALSE(check_srgb_pixel_format(target_dc, 9)) << "attribute " << i;
  }
  answers.attributes = good;
  answers.attributes[11] = 0;
  EXPECT_FALSE(check_srgb_pixel_format(target_dc, 9)) << "meets every minimum but is not sRGB capable";
}

TEST_F(PixelFormat, PipelineConfirmedByTheTextureReadBack) {
  const srgb_confirmation result = confirm_srgb_pipeline(target_dc, 9);
  EXPECT_TRUE(result.strict_srgb_format);
  EXPECT_TRUE(result.srgb_pipeline);
  EXPECT_TRUE(logged("enable 36281"));
  EXPECT_TRUE(logged("tex_image 35907 1x1"));
  EXPECT_TRUE(logged("delete_texture 77"));
  EXPECT_FALSE(logged("disable 36281"));
}

TEST_F(PixelFormat, PipelineNotConfirmedLeavesSrgbOff) {
  answers.read_back_format = 0x8058;  // plain RGBA8
  srgb_confirmation result = confirm_srgb_pipeline(target_dc, 9);
  EXPECT_TRUE(result.strict_srgb_format);
  EXPECT_FALSE(result.srgb_pipeline);
  EXPECT_TRUE(logged("disable 36281"));

  call_log().clear();
  answers.read_back_format = 0x8C43;
  answers.texture_name = 0;
  result = confirm_srgb_pipeline(target_dc, 9);
  EXPECT_FALSE(result.srgb_pipeline);
  EXPECT_TRUE(logged("disable 36281"));
  EXPECT_FALSE(logged("tex_image 35907 1x1"));

  answers.texture_name = 77;
  answers.srgb_enabled = GL_FALSE;
  EXPECT_FALSE(confirm_srgb_pipeline(target_dc, 9).srgb_pipeline);
}

TEST_F(PixelFormat, PipelineNeedsTheProbedFormatInPlace) {
  answers.window_pixel_format = 4;
  const srgb_confirmation result = confirm_srgb_pipeline(target_dc, 9);
  EXPECT_FALSE(result.strict_srgb_format);
  EXPECT_FALSE(result.srgb_pipeline);
  EXPECT_FALSE(logged("enable " + std::to_string(gl_framebuffer_srgb)));
}

}  // namespace
}  // namespace orvi
