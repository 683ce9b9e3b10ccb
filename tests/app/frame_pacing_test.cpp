#include "app/frame_pacing.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"

namespace orvi {

TEST(SleepFrame, CancellationRequestRaisesAndMarksTheTask) {
  EXPECT_NO_THROW(sleep_frame()) << "without a task";
  task_record task;
  current_task() = &task;
  EXPECT_NO_THROW(sleep_frame());
  task.cancel_requested = 1;
  EXPECT_THROW(sleep_frame(), tovi_task_cancelled);
  EXPECT_EQ(task.cancelled.load(), 1);
  current_task() = nullptr;
}

}  // namespace orvi
