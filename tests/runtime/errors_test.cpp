#include "runtime/errors.hpp"

#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>

using namespace orvi;

TEST(Errors, RaisedRecordDescribesItselfAndCancellationIsNoStdException) {
  try {
    raise_runtime_error("window.canvas", "failed to create window/canvas window", "tovi_window_input_canvas");
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "window.canvas: failed to create window/canvas window");
    const auto& r = dynamic_cast<const tovi_runtime_exception&>(e).record();
    EXPECT_EQ(
        std::tie(r.code, r.message, r.value, r.module, r.detail),
        std::make_tuple("window.canvas", "failed to create window/canvas window", 0u, "tovi_window_input_canvas", ""));
  }
  // The exception keeps its own copy of the record.
  runtime_error_record record("file.read", "x");
  const tovi_runtime_exception copy(record);
  record.code = "changed";
  EXPECT_STREQ(tovi_runtime_exception(copy).what(), "file.read: x");
  EXPECT_EQ(copy.record().code, "file.read");
  // A last-resort std::exception handler lets a cancellation pass.
  static_assert(!std::is_base_of_v<std::exception, tovi_task_cancelled>);
}
