#pragma once

namespace orvi {

// Dispatches at most 32 pending messages of this thread's queue.
void pump_window_messages();

}  // namespace orvi
