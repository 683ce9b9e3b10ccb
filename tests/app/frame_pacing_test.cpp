#include "app/frame_pacing.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"

namespace orvi {
namespace {

TEST(SleepFrame, CancellationRequestRaisesAndMarksTheTask) {
  ASSERT_EQ(current_task(), nullptr) << "nothing sets a task on this thread";
  EXPECT_NO_THROW(sleep_frame());

  task_record task;
  current_task() = &task;
  EXPECT_NO_THROW(sleep_frame());
  task.cancel_requested = 1;
  EXPECT_THROW(sleep_frame(), tovi_task_cancelled);
  EXPECT_EQ(task.cancelled.load(), 1);
  current_task() = nullptr;
}

}  // namespace
}  // namespace orvi
