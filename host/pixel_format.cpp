#include "host/pixel_format.hpp"

#include "host/platform.hpp"
#include "host/window_classes.hpp"

#include <array>
#include <cstdint>

namespace orvi {
namespace {

constexpr int wgl_draw_to_window = 0x2001;
constexpr int wgl_support_opengl = 0x2010;
constexpr int wgl_double_buffer = 0x2011;
constexpr int wgl_pixel_type = 0x2013;
constexpr int wgl_type_rgba = 0x202B;
constexpr int wgl_color_bits = 0x2014;
constexpr int wgl_red_bits = 0x2015;
constexpr int wgl_green_bits = 0x2017;
constexpr int wgl_blue_bits = 0x2019;
constexpr int wgl_alpha_bits = 0x201B;
constexpr int wgl_depth_bits = 0x2022;
constexpr int wgl_stencil_bits = 0x2023;
constexpr int wgl_framebuffer_srgb_capable = 0x20A9;

constexpr GLenum gl_framebuffer_srgb = 0x8DB9;
constexpr GLint gl_srgb8_alpha8 = 0x8C43;

constexpr std::array<int, 25> strict_request{wgl_draw_to_window,
                                             1,
                                             wgl_support_opengl,
                                             1,
                                             wgl_double_buffer,
                                             1,
                                             wgl_pixel_type,
                                             wgl_type_rgba,
                                             wgl_color_bits,
                                             24,
                                             wgl_red_bits,
                                             8,
                                             wgl_green_bits,
                                             8,
                                             wgl_blue_bits,
                                             8,
                                             wgl_alpha_bits,
                                             8,
                                             wgl_depth_bits,
                                             24,
                                             wgl_stencil_bits,
                                             8,
                                             wgl_framebuffer_srgb_capable,
                                             1,
                                             0};

constexpr std::array<int, 12> verification_query{wgl_draw_to_window, wgl_support_opengl, wgl_double_buffer,
                                                 wgl_pixel_type,     wgl_color_bits,     wgl_red_bits,
                                                 wgl_green_bits,     wgl_blue_bits,      wgl_alpha_bits,
                                                 wgl_depth_bits,     wgl_stencil_bits,   wgl_framebuffer_srgb_capable};

using choose_pixel_format_arb_fn = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
using get_pixel_format_attribiv_arb_fn = BOOL(WINAPI*)(HDC, int, int, UINT, const int*, int*);

// Some drivers answer small integers or -1 instead of null for a missing name.
template <typename Function>
Function wgl_entry_point(const char* name) {
  PROC found = platform().wgl_get_proc_address(name);
  const auto value = reinterpret_cast<std::intptr_t>(found);
  if (value >= -1 && value <= 3) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// Steps 2 to 5 of the probe: a hidden window with a legacy format and a
// temporary context, just long enough to reach the ARB entry point.
int probe_with_temporary_context(HDC target) {
  auto& p = platform();
  HWND probe = p.create_window_ex_w(0, canvas_window_class_name, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) return 0;
  HDC probe_dc = p.get_dc(probe);
  if (probe_dc == nullptr) {
    p.destroy_window(probe);
    return 0;
  }

  int result = 0;
  HGLRC temporary = nullptr;
  const PIXELFORMATDESCRIPTOR descriptor = legacy_pixel_format_descriptor(24);
  const int legacy_format = p.choose_pixel_format(probe_dc, &descriptor);
  if (legacy_format > 0 && p.set_pixel_format(probe_dc, legacy_format, &descriptor) == TRUE) {
    temporary = p.wgl_create_context(probe_dc);
    if (temporary != nullptr && p.wgl_make_current(probe_dc, temporary)) {
      if (auto choose = wgl_entry_point<choose_pixel_format_arb_fn>("wglChoosePixelFormatARB")) {
        int format = 0;
        UINT count = 0;
        if (choose(target, strict_request.data(), nullptr, 1, &format, &count) == TRUE && count >= 1 && format > 0 &&
            check_srgb_pixel_format(target, format)) {
          result = format;
        }
      }
    }
  }

  p.wgl_make_current(nullptr, nullptr);
  if (temporary != nullptr) p.wgl_delete_context(temporary);
  p.release_dc(probe, probe_dc);
  p.destroy_window(probe);
  return result;
}

}  // namespace

PIXELFORMATDESCRIPTOR legacy_pixel_format_descriptor(BYTE colour_bits) {
  PIXELFORMATDESCRIPTOR descriptor{};
  descriptor.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  descriptor.nVersion = 1;
  descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  descriptor.iPixelType = PFD_TYPE_RGBA;
  descriptor.cColorBits = colour_bits;
  descriptor.cAlphaBits = 8;
  descriptor.cDepthBits = 24;
  descriptor.cStencilBits = 8;
  return descriptor;
}

int choose_srgb_pixel_format(HDC target) {
  if (target == nullptr) return 0;
  auto& p = platform();
  HDC previous_dc = p.wgl_get_current_dc();
  HGLRC previous_context = p.wgl_get_current_context();

  const int result = probe_with_temporary_context(target);

  if (previous_dc != nullptr && previous_context != nullptr) {
    return p.wgl_make_current(previous_dc, previous_context) == TRUE ? result : 0;
  }
  if (previous_dc == nullptr && previous_context == nullptr) return result;
  return 0;
}

bool check_srgb_pixel_format(HDC device_context, int format) {
  if (device_context == nullptr || format < 1) return false;
  auto query = wgl_entry_point<get_pixel_format_attribiv_arb_fn>("wglGetPixelFormatAttribivARB");
  if (query == nullptr) return false;
  std::array<int, verification_query.size()> values{};
  if (query(device_context, format, 0, verification_query.size(), verification_query.data(), values.data()) != TRUE) {
    return false;
  }
  const bool meets_minimums = values[0] != 0 && values[1] != 0 && values[2] != 0 && values[3] == wgl_type_rgba &&
                              values[4] >= 24 && values[5] >= 8 && values[6] >= 8 && values[7] >= 8 && values[8] >= 8 &&
                              values[9] >= 24 && values[10] >= 8;
  return meets_minimums && values[11] != 0;
}

srgb_confirmation confirm_srgb_pipeline(HDC device_context, int probed_format) {
  auto& p = platform();
  srgb_confirmation result;
  result.strict_srgb_format = probed_format > 0 && p.get_pixel_format(device_context) == probed_format &&
                              check_srgb_pixel_format(device_context, probed_format);
  if (!result.strict_srgb_format) return result;

  p.gl_enable(gl_framebuffer_srgb);
  if (p.gl_is_enabled(gl_framebuffer_srgb) != GL_TRUE) return result;
  GLuint texture = 0;
  p.gl_gen_textures(1, &texture);
  if (texture == 0) {
    p.gl_disable(gl_framebuffer_srgb);
    return result;
  }
  static const GLubyte grey[4] = {128, 128, 128, 255};
  GLint internal_format = 0;
  p.gl_bind_texture(GL_TEXTURE_2D, texture);
  p.gl_tex_image_2d(GL_TEXTURE_2D, 0, gl_srgb8_alpha8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, grey);
  p.gl_get_tex_level_parameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal_format);
  p.gl_bind_texture(GL_TEXTURE_2D, 0);
  p.gl_delete_textures(1, &texture);
  result.srgb_pipeline = internal_format == gl_srgb8_alpha8;
  if (!result.srgb_pipeline) p.gl_disable(gl_framebuffer_srgb);
  return result;
}

}  // namespace orvi
