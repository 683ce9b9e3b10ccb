// The strict sRGB pixel-format probe, its verification, and the check that the
// framebuffer really converts to sRGB.
#pragma once

#include <windows.h>

namespace orvi {

// Pixel format with 8-bit RGBA, 24-bit depth, 8-bit stencil, double buffer;
// the probe's hidden window asks for 24 colour bits, the opener for 32.
PIXELFORMATDESCRIPTOR legacy_pixel_format_descriptor(BYTE colour_bits);

// A strict sRGB format for the target device context, or 0. The thread's
// current GL context is current again afterwards (0 when that fails).
int choose_srgb_pixel_format(HDC target);

// True only when the format meets every minimum of the strict request and is
// sRGB capable. Needs a current GL context to look up the query.
bool check_srgb_pixel_format(HDC device_context, int format);

struct srgb_confirmation {
  bool strict_srgb_format = false;
  bool srgb_pipeline = false;
};

// Run with the window's GL context current, only when the probe gave a
// format: re-verifies it and proves GL_FRAMEBUFFER_SRGB with a one-pixel
// GL_SRGB8_ALPHA8 texture (left disabled when the proof fails).
srgb_confirmation confirm_srgb_pipeline(HDC device_context, int probed_format);

}  // namespace orvi
