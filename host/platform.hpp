// The Win32, WGL and OpenGL calls the host makes for window lifecycle, pixel
// formats, fonts, input intake, drawing and presenting, gathered behind one
// table so tests can put fakes in place, reach failure branches without a window
// and deliver messages the system here never sends. Every entry defaults to the
// real call.
#pragma once

#include <windows.h>

#include <GL/gl.h>

namespace orvi {

struct host_platform {
  // Windows, device contexts, classes.
  decltype(&::RegisterClassW) register_class_w = &::RegisterClassW;
  BOOL(WINAPI* set_process_dpi_awareness_context)(DPI_AWARENESS_CONTEXT) = nullptr;  // set in platform.cpp
  decltype(&::CreateWindowExW) create_window_ex_w = &::CreateWindowExW;
  decltype(&::DestroyWindow) destroy_window = &::DestroyWindow;
  decltype(&::GetDC) get_dc = &::GetDC;
  decltype(&::ReleaseDC) release_dc = &::ReleaseDC;
  decltype(&::GetForegroundWindow) get_foreground_window = &::GetForegroundWindow;
  decltype(&::GetWindowRect) get_window_rect = &::GetWindowRect;
  decltype(&::SetWindowPos) set_window_pos = &::SetWindowPos;
  decltype(&::ShowWindow) show_window = &::ShowWindow;
  decltype(&::UpdateLayeredWindow) update_layered_window = &::UpdateLayeredWindow;

  // Input. The pointer and touch entries are looked up at run time (set in
  // platform.cpp): some systems lack them, and a static import would stop the
  // program from loading or abort at the call.
  decltype(&::GetMessageExtraInfo) get_message_extra_info = &::GetMessageExtraInfo;
  decltype(&::GetCursorPos) get_cursor_pos = &::GetCursorPos;
  decltype(&::GetRawInputData) get_raw_input_data = &::GetRawInputData;
  BOOL(WINAPI* get_pointer_type)(UINT32, POINTER_INPUT_TYPE*) = nullptr;
  BOOL(WINAPI* get_pointer_pen_info)(UINT32, POINTER_PEN_INFO*) = nullptr;
  BOOL(WINAPI* get_touch_input_info)(HTOUCHINPUT, UINT, PTOUCHINPUT, int) = nullptr;
  BOOL(WINAPI* close_touch_input_handle)(HTOUCHINPUT) = nullptr;

  // GDI.
  decltype(&::ChoosePixelFormat) choose_pixel_format = &::ChoosePixelFormat;
  decltype(&::SetPixelFormat) set_pixel_format = &::SetPixelFormat;
  decltype(&::DescribePixelFormat) describe_pixel_format = &::DescribePixelFormat;
  decltype(&::GetPixelFormat) get_pixel_format = &::GetPixelFormat;
  decltype(&::SwapBuffers) swap_buffers = &::SwapBuffers;
  decltype(&::CreateFontA) create_font_a = &::CreateFontA;
  decltype(&::SelectObject) select_object = &::SelectObject;
  decltype(&::DeleteObject) delete_object = &::DeleteObject;
  decltype(&::DeleteDC) delete_dc = &::DeleteDC;
  decltype(&::GetCharWidth32A) get_char_width32_a = &::GetCharWidth32A;
  decltype(&::CreateCompatibleDC) create_compatible_dc = &::CreateCompatibleDC;
  decltype(&::CreateDIBSection) create_dib_section = &::CreateDIBSection;

  // WGL.
  decltype(&::wglCreateContext) wgl_create_context = &::wglCreateContext;
  decltype(&::wglMakeCurrent) wgl_make_current = &::wglMakeCurrent;
  decltype(&::wglDeleteContext) wgl_delete_context = &::wglDeleteContext;
  decltype(&::wglGetProcAddress) wgl_get_proc_address = &::wglGetProcAddress;
  decltype(&::wglGetCurrentDC) wgl_get_current_dc = &::wglGetCurrentDC;
  decltype(&::wglGetCurrentContext) wgl_get_current_context = &::wglGetCurrentContext;
  decltype(&::wglUseFontBitmapsA) wgl_use_font_bitmaps_a = &::wglUseFontBitmapsA;

  // OpenGL 1.x.
  decltype(&::glGenLists) gl_gen_lists = &::glGenLists;
  decltype(&::glDeleteLists) gl_delete_lists = &::glDeleteLists;
  decltype(&::glNewList) gl_new_list = &::glNewList;
  decltype(&::glEndList) gl_end_list = &::glEndList;
  decltype(&::glBitmap) gl_bitmap = &::glBitmap;
  decltype(&::glEnable) gl_enable = &::glEnable;
  decltype(&::glDisable) gl_disable = &::glDisable;
  decltype(&::glIsEnabled) gl_is_enabled = &::glIsEnabled;
  decltype(&::glGenTextures) gl_gen_textures = &::glGenTextures;
  decltype(&::glBindTexture) gl_bind_texture = &::glBindTexture;
  decltype(&::glTexImage2D) gl_tex_image_2d = &::glTexImage2D;
  decltype(&::glGetTexLevelParameteriv) gl_get_tex_level_parameteriv = &::glGetTexLevelParameteriv;
  decltype(&::glDeleteTextures) gl_delete_textures = &::glDeleteTextures;
  decltype(&::glViewport) gl_viewport = &::glViewport;
  decltype(&::glMatrixMode) gl_matrix_mode = &::glMatrixMode;
  decltype(&::glLoadIdentity) gl_load_identity = &::glLoadIdentity;
  decltype(&::glOrtho) gl_ortho = &::glOrtho;
  decltype(&::glClearColor) gl_clear_color = &::glClearColor;
  decltype(&::glClear) gl_clear = &::glClear;
  decltype(&::glColorMask) gl_color_mask = &::glColorMask;
  decltype(&::glStencilMask) gl_stencil_mask = &::glStencilMask;
  decltype(&::glStencilFunc) gl_stencil_func = &::glStencilFunc;
  decltype(&::glStencilOp) gl_stencil_op = &::glStencilOp;
  decltype(&::glBlendFunc) gl_blend_func = &::glBlendFunc;
  decltype(&::glClearStencil) gl_clear_stencil = &::glClearStencil;
  decltype(&::glFlush) gl_flush = &::glFlush;
  decltype(&::glReadBuffer) gl_read_buffer = &::glReadBuffer;
  decltype(&::glReadPixels) gl_read_pixels = &::glReadPixels;
  decltype(&::glColor4f) gl_color4f = &::glColor4f;
  decltype(&::glColor4ub) gl_color4ub = &::glColor4ub;
  decltype(&::glBegin) gl_begin = &::glBegin;
  decltype(&::glVertex2f) gl_vertex2f = &::glVertex2f;
  decltype(&::glEnd) gl_end = &::glEnd;
  decltype(&::glRasterPos2f) gl_raster_pos2f = &::glRasterPos2f;
  decltype(&::glListBase) gl_list_base = &::glListBase;
  decltype(&::glCallLists) gl_call_lists = &::glCallLists;
};

// The table in use; tests overwrite entries and put the saved table back.
host_platform& platform();

}  // namespace orvi
