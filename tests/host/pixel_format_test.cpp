// The strict sRGB probe's and the pipeline confirmation's failure branches,
// through fakes of every platform call they make.
#include "host/pixel_format.hpp"

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
using released = std::array<int, 4>;  // the probe's unbinding, context, device context, window
constexpr released all_released{1, 1, 1, 1};

// What the fakes answer, and what they saw.
struct fake_answers {
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
  released seen{};
  HGLRC made_current = nullptr;
  bool srgb_on = false;  // GL_FRAMEBUFFER_SRGB
};
fake_answers answers;

template <typename Function>
PROC entry(std::intptr_t answer, Function fake) {
  return answer == 1000 ? reinterpret_cast<PROC>(reinterpret_cast<void*>(fake)) : reinterpret_cast<PROC>(answer);
}

class PixelFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    // On x86-64 WINAPI and APIENTRY add nothing, so plain lambdas fit the table.
    auto& p = platform();
    p.create_window_ex_w = [](DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
      return answers.window_fails ? nullptr : probe_window;
    };
    p.get_dc = [](HWND) { return answers.dc_fails ? nullptr : probe_dc; };
    p.release_dc = [](HWND w, HDC dc) { return answers.seen[2] += w == probe_window && dc == probe_dc; };
    p.destroy_window = [](HWND w) { return answers.seen[3] += w == probe_window; };
    p.choose_pixel_format = [](HDC, const PIXELFORMATDESCRIPTOR*) { return 5; };
    p.set_pixel_format = [](HDC, int, const PIXELFORMATDESCRIPTOR*) { return TRUE; };
    p.get_pixel_format = [](HDC) { return answers.window_pixel_format; };
    p.wgl_create_context = [](HDC) { return temporary_context; };
    p.wgl_make_current = [](HDC dc, HGLRC rc) {
      answers.made_current = rc;
      answers.seen[0] += dc == nullptr && rc == nullptr;
      return dc != nullptr && dc != probe_dc && answers.restore_fails ? FALSE : TRUE;
    };
    p.wgl_delete_context = [](HGLRC rc) { return answers.seen[1] += rc == temporary_context; };
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
    p.gl_bind_texture = [](GLenum, GLuint) {};
    p.gl_tex_image_2d = [](GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid*) {};
    p.gl_get_tex_level_parameteriv = [](GLenum, GLint, GLenum, GLint* value) { *value = answers.read_back_format; };
    p.gl_delete_textures = [](GLsizei, const GLuint*) {};
  }
  testing::scoped_platform platform_guard_;
};

TEST_F(PixelFormat, ProbeFindsTheFormatOrZeroAndAlwaysCleansUp) {
  // What the fakes answer; the probe's result and what it released.
  const std::vector<std::tuple<const char*, fake_answers, int, released>> rows{
      {"found", {}, 9, all_released},
      {"found, previous context restored", {.current_dc = other_dc, .current_context = other_context}, 9, all_released},
      // Some drivers answer small integers or -1 for a missing entry point.
      {"choose entry 0", {.choose_entry = 0}, 0, all_released},
      {"choose entry 3", {.choose_entry = 3}, 0, all_released},
      {"choose entry -1", {.choose_entry = -1}, 0, all_released},
      {"no verification entry", {.attrib_entry = 0}, 0, all_released},
      {"16-bit depth", {.attributes = {1, 1, 1, 0x202B, 32, 8, 8, 8, 8, 16, 8, 1}}, 0, all_released},
      {"not sRGB capable", {.attributes = {1, 1, 1, 0x202B, 32, 8, 8, 8, 8, 24, 8, 0}}, 0, all_released},
      {"previous context not restored",
       {.restore_fails = true, .current_dc = other_dc, .current_context = other_context},
       0,
       all_released},
      // A device context without a context cannot be restored either.
      {"half a previous context", {.current_dc = other_dc}, 0, all_released},
      {"no probe window", {.window_fails = true}, 0, released{}},
      {"no probe device context", {.dc_fails = true}, 0, released{0, 0, 0, 1}},
  };
  for (const auto& [name, answer, format, seen] : rows) {
    answers = answer;
    EXPECT_EQ(choose_srgb_pixel_format(target_dc), format) << name;
    EXPECT_EQ(answers.seen, seen) << name;
    EXPECT_EQ(answers.made_current, answer.current_context) << name;
  }
  EXPECT_EQ(choose_srgb_pixel_format(nullptr), 0);
}

TEST_F(PixelFormat, VerificationNeedsEveryMinimum) {
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
  const std::vector<std::pair<const char*, fake_answers>> cases{
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

}  // namespace
}  // namespace orvi
