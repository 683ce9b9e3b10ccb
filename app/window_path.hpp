// The notebook's window: opening it, the frame loop, and closing every window.
#pragma once

#include "app/notebook_ui.hpp"

namespace orvi {

inline constexpr char NOTEBOOK_TITLE[] = "Quillory / Orvi + CordvexDB";

// Opens the notebook window and makes it the main and current window. Raises
// "window.canvas" with the failing step's message, after undoing that step.
void open_canvas_window();

// One frame's input, actions and drawing, without the pacing sleep. False
// when ESCAPE ends the loop.
bool run_notebook_frame(notebook_store& store, notebook_fields& fields, const text& directory, frame_loop_state& state);

// Runs frames until the window is gone or closed, or ESCAPE is pressed.
void run_frame_loop(notebook_store& store, notebook_fields& fields, const text& directory);

// Closes every canvas window, lowest id first.
void close_all_windows();

// The whole window path of the program after the store is open.
void run_notebook_window(notebook_store& store, const text& directory);

}  // namespace orvi
