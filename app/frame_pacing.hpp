// The frame loop's sleep, which honours a cancellation request of the running task.
#pragma once

#include <atomic>
#include <cstdint>

namespace orvi {

// The running task's record; the loop uses only its two flags.
struct task_record {
  std::atomic<std::uint8_t> cancel_requested{0};
  std::atomic<std::uint8_t> cancelled{0};
};

// The current thread's task, or null. Nothing in the notebook sets it.
task_record*& current_task();

inline constexpr int FRAME_SLEEP_MS = 16;
inline constexpr int FRAME_SLICE_MS = 5;

// Sleeps 16 ms in slices of at most 5 ms, so a cancellation request is seen
// within 5 ms; raises tovi_task_cancelled (marking the task cancelled) then.
void sleep_frame();

}  // namespace orvi
