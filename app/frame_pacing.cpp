#include "app/frame_pacing.hpp"

#include <cerrno>
#include <ctime>

#include "runtime/errors.hpp"

namespace orvi {

task_record*& current_task() {
  thread_local task_record* task = nullptr;
  return task;
}

void sleep_frame() {
  for (int left = FRAME_SLEEP_MS; left > 0; left -= FRAME_SLICE_MS) {
    task_record* task = current_task();
    if (task && task->cancel_requested.load()) {
      task->cancelled.exchange(1);
      throw tovi_task_cancelled{};
    }
    const int slice = left < FRAME_SLICE_MS ? left : FRAME_SLICE_MS;
    timespec time{0, slice * 1000000L};
    while (nanosleep(&time, &time) != 0 && errno == EINTR) {
    }
  }
}

}  // namespace orvi
