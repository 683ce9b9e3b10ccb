// The two canvas window classes and the process DPI awareness.
#pragma once

namespace orvi {

inline constexpr wchar_t canvas_window_class_name[] = L"orvi_window_input_canvas_window";
inline constexpr wchar_t canvas_translucent_window_class_name[] = L"orvi_window_input_canvas_translucent_window";

// Once per process; later calls do nothing.
void register_canvas_window_classes();

}  // namespace orvi
