#include "app/window_path.hpp"

#include <windows.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "app/frame_pacing.hpp"
#include "host/draw.hpp"
#include "host/fonts.hpp"
#include "host/frame.hpp"
#include "host/host_runtime.hpp"
#include "host/input_queries.hpp"
#include "host/message_pump.hpp"
#include "host/pixel_format.hpp"
#include "host/platform.hpp"
#include "host/window_classes.hpp"
#include "host/window_state.hpp"
#include "runtime/errors.hpp"

namespace orvi {

namespace {

constexpr char CANVAS_MODULE[] = "tovi_window_input_canvas";

[[noreturn]] void fail_open(const char* message) { raise_runtime_error("window.canvas", message, CANVAS_MODULE); }

std::wstring window_title() {
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, NOTEBOOK_TITLE, -1, nullptr, 0);
  if (units <= 0) return {};
  std::wstring title(static_cast<std::size_t>(units), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, NOTEBOOK_TITLE, -1, title.data(), units) != units) return {};
  title.pop_back();  // the terminating zero
  return title;
}

// Dark title-bar colours where the desktop window manager offers them.
void apply_dark_title_bar(HWND window) {
  HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
  if (!dwm) return;
  using set_attribute_fn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  const auto set_attribute =
      reinterpret_cast<set_attribute_fn>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  if (set_attribute) {
    const BOOL dark = TRUE;
    const COLORREF caption = RGB(18, 20, 24), border = RGB(43, 47, 54), title_text = RGB(232, 232, 226);
    set_attribute(window, 20, &dark, sizeof dark);
    set_attribute(window, 19, &dark, sizeof dark);
    set_attribute(window, 35, &caption, sizeof caption);
    set_attribute(window, 34, &border, sizeof border);
    set_attribute(window, 36, &title_text, sizeof title_text);
  }
  FreeLibrary(dwm);
}

bool mouse_button_down(std::string_view name) {
  if (!is_canvas_foreground()) return false;
  text lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  int key = 0;
  if (lower == "left" || lower == "primary" || lower == "l") key = VK_LBUTTON;
  if (lower == "right" || lower == "secondary" || lower == "r") key = VK_RBUTTON;
  if (lower == "middle" || lower == "m") key = VK_MBUTTON;
  return key != 0 && (GetAsyncKeyState(key) & 0x8000) != 0;
}

text take_typed_text() {
  pump_window_messages();
  canvas_window* window = resolve_current_window();
  if (!window) return {};
  text typed = std::move(window->typed_text);
  window->typed_text.clear();
  return typed;
}

canvas_window* open_main_window() {
  canvas_window* main = find_canvas_window(get_host_runtime().main_window_id);
  return main && main->open && main->window ? main : nullptr;
}

bool mouse_in_rect(const ui_rect& r) { return point_in_rect(mouse_x(), mouse_y(), r); }

void fill_rect(const ui_rect& r, const ui_color& c) { draw_rect_rgba(r.x, r.y, r.w, r.h, c.r, c.g, c.b); }

void fill_rounded(const ui_rect& r, std::int32_t radius, const ui_color& c) {
  draw_rounded_rect_rgba(r.x, r.y, r.w, r.h, radius, c.r, c.g, c.b);
}

void draw_label_text(const text& s, std::int32_t x, std::int32_t y) {
  draw_text_styled(s, x, y, LABEL_STYLE, LABEL_COLOR.r, LABEL_COLOR.g, LABEL_COLOR.b);
}

void draw_body_text(const text& s, std::int32_t x, std::int32_t y, std::int32_t size) {
  draw_text_styled(s, x, y, body_style(size), BODY_COLOR.r, BODY_COLOR.g, BODY_COLOR.b);
}

void draw_button(const text& label, std::int32_t x, std::int32_t y, std::int32_t w, bool primary) {
  const ui_rect r{x, y, w, BUTTON_HEIGHT};
  fill_rounded(r, BUTTON_RADIUS, button_color(primary, mouse_in_rect(r)));
  draw_body_text(label, x + 15, y + 11, 100);
}

void draw_notebook(const notebook_store& store, const notebook_fields& fields, const text& directory) {
  draw_label_text("ORVI / OPEN SOURCE PLAYGROUND", 34, 25);
  draw_body_text("Quillory", 34, 57, 210);
  draw_label_text("A tiny persistent notebook, powered by the real CordvexDB engine.", 36, 111);
  fill_rounded(PANEL_RECT, PANEL_RADIUS, PANEL_COLOR);
  draw_body_text("Saved keys", 52, 188, 145);
  const auto rows = visible_rows(store.database);
  for (std::size_t r = 0; r < MAX_ROWS && rows[r]; ++r) {
    const ui_rect row = row_rect(r);
    draw_button(rows[r]->key, row.x, row.y, row.w, rows[r]->key == fields.key);
  }
  draw_label_text("KEY / CLICK TO EDIT", 380, 199);
  fill_rounded(KEY_BOX, BOX_RADIUS, BOX_COLOR);
  draw_body_text(fields.key, 396, 247, 120);
  draw_label_text("VALUE / SINGLE LINE", 380, 312);
  fill_rounded(VALUE_BOX, BOX_RADIUS, BOX_COLOR);
  draw_body_text(fields.value, 396, 365, 100);
  fill_rect(fields.value_focused ? VALUE_UNDERLINE : KEY_UNDERLINE, FOCUS_COLOR);
  draw_button("Save", SAVE_BUTTON.x, SAVE_BUTTON.y, SAVE_BUTTON.w, true);
  draw_button("Load", LOAD_BUTTON.x, LOAD_BUTTON.y, LOAD_BUTTON.w, false);
  draw_button("Delete", DELETE_BUTTON.x, DELETE_BUTTON.y, DELETE_BUTTON.w, false);
  draw_body_text(store.status, 380, 534, 100);
  draw_label_text("Write -> commit -> close -> reopen. Your data stays.", 380, 578);
  draw_label_text("Local demo data: " + directory, 34, 647);
}

}  // namespace

void open_canvas_window() {
  if (!begin_canvas_window_open()) return;
  register_canvas_window_classes();
  auto& os = platform();

  RECT outer{0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
  const std::wstring title = window_title();
  HWND window = os.create_window_ex_w(WS_EX_APPWINDOW, canvas_window_class_name, title.c_str(), WS_OVERLAPPEDWINDOW,
                                      CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) fail_open("failed to create window/canvas window");
  DragAcceptFiles(window, TRUE);

  HDC dc = os.get_dc(window);
  if (!dc) {
    os.destroy_window(window);
    fail_open("failed to acquire window/canvas device context");
  }
  const auto undo_dc_and_fail = [&](const char* message) {
    os.release_dc(window, dc);
    os.destroy_window(window);
    fail_open(message);
  };

  PIXELFORMATDESCRIPTOR request = legacy_pixel_format_descriptor(32);
  const int strict_format = choose_srgb_pixel_format(dc);
  int format = strict_format;
  if (strict_format > 0) {
    if (os.describe_pixel_format(dc, strict_format, sizeof request, &request) == 0) {
      undo_dc_and_fail("failed to describe strict sRGB window/canvas pixel format");
    }
  } else {
    format = os.choose_pixel_format(dc, &request);
    if (format == 0) undo_dc_and_fail("failed to configure window/canvas OpenGL pixel format");
  }
  if (os.set_pixel_format(dc, format, &request) != TRUE) {
    undo_dc_and_fail("failed to configure window/canvas OpenGL pixel format");
  }
  HGLRC context = os.wgl_create_context(dc);
  if (context && os.wgl_make_current(dc, context) != TRUE) {
    os.wgl_delete_context(context);
    context = nullptr;
  }
  if (!context) undo_dc_and_fail("failed to activate window/canvas OpenGL context");

  srgb_confirmation srgb;
  if (strict_format > 0) srgb = confirm_srgb_pipeline(dc, strict_format);
  RegisterTouchWindow(window, 0);
  WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);
  apply_dark_title_bar(window);

  auto canvas = make_canvas_window();
  canvas->window = window;
  canvas->device_context = dc;
  canvas->gl_context = context;
  canvas->strict_srgb_format = srgb.strict_srgb_format;
  canvas->srgb_pipeline = srgb.srgb_pipeline;
  build_window_fonts(*canvas);
  canvas->client_width = CLIENT_WIDTH;
  canvas->client_height = CLIENT_HEIGHT;
  canvas->open = 1;
  canvas->shown = 1;
  canvas->caption_buttons = 1;
  canvas->client_chrome = 1;
  update_window_dpi_and_monitor(*canvas);
  register_canvas_window(std::move(canvas));

  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  pump_window_messages();
}

bool run_notebook_frame(notebook_store& store, notebook_fields& fields, const text& directory,
                        frame_loop_state& state) {
  const bool down = mouse_button_down("LEFT");
  // Pumping right after the poll stamps the press the poll saw in this frame,
  // so one press never clicks twice. Other buttons, touch and pen are no click.
  pump_window_messages();
  const canvas_window* main = open_main_window();
  const bool held = main && main->pointer.kind == 1 && (main->pointer.buttons & MK_LBUTTON) != 0;
  const frame_click click = take_frame_click(state, {down, last_left_press_sequence(), held});
  frame_input input;
  input.click = click.click;
  if (click.stamped && main) {
    // The press acts where it happened, even if the pointer has moved on.
    input.mouse_x = static_cast<std::int32_t>(main->last_left_press.client_x);
    input.mouse_y = static_cast<std::int32_t>(main->last_left_press.client_y);
  } else if (input.click) {
    input.mouse_x = mouse_x();
    input.mouse_y = mouse_y();
  }
  input.tab = key_pressed_by_name("TAB");
  input.typed = take_typed_text();
  input.backspace = key_pressed_by_name("BACKSPACE");
  apply_frame_input(fields, store, input);

  begin_frame(BACKGROUND.r, BACKGROUND.g, BACKGROUND.b);
  draw_notebook(store, fields, directory);
  end_frame();
  return !key_pressed_by_name("ESCAPE");
}

void run_frame_loop(notebook_store& store, notebook_fields& fields, const text& directory) {
  frame_loop_state state{false, last_left_press_sequence()};
  for (;;) {
    pump_window_messages();
    if (!open_main_window()) return;
    try {
      if (!run_notebook_frame(store, fields, directory, state)) return;
    } catch (const tovi_runtime_exception& e) {
      // The user may close the window inside any pump of the frame; that ends
      // the loop like a close seen at the frame's start.
      if (e.record().code == "window.canvas" && !open_main_window()) return;
      throw;
    }
    sleep_frame();
  }
}

void close_all_windows() {
  auto& runtime = get_host_runtime();
  std::vector<std::uint32_t> ids;
  for (const auto& [id, window] : runtime.registry) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  for (std::uint32_t id : ids) close_canvas_window(id);
  runtime.main_window_id = 0;
  runtime.current_window_id = 0;
}

void run_notebook_window(notebook_store& store, const text& directory) {
  seed_notebook(store);
  notebook_fields fields = initial_fields(store);
  open_canvas_window();
  run_frame_loop(store, fields, directory);
  close_all_windows();
}

}  // namespace orvi
