#include "runtime/errors.hpp"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <tuple>
#include <type_traits>

namespace orvi {
namespace {

TEST(Errors, DescriptionIsCodeColonMessage) {
  runtime_error_record record("file.read", "unable to open file: a.bin");
  EXPECT_EQ(record.value, 0u);
  EXPECT_EQ(record.module + record.detail, "");
  record.value = 7;
  record.module = "tovi_window_input_canvas";
  record.detail = "extra";
  const tovi_runtime_exception e(record);

  // The exception keeps its own copy: later changes to the record do not show.
  record = runtime_error_record("changed", "changed");
  EXPECT_STREQ(e.what(), "file.read: unable to open file: a.bin");
  const runtime_error_record& kept = e.record();
  EXPECT_EQ(std::tie(kept.code, kept.message, kept.value, kept.module, kept.detail),
            std::make_tuple("file.read", "unable to open file: a.bin", 7u, "tovi_window_input_canvas", "extra"));
  EXPECT_STREQ(tovi_runtime_exception(e).what(), e.what());
  EXPECT_STREQ(tovi_runtime_exception(runtime_error_record("", "")).what(), ": ");
}

TEST(Errors, StandardHandlerCatchesRuntimeExceptionOnly) {
  try {
    raise_runtime_error("window.canvas", "failed to create window/canvas window", "tovi_window_input_canvas");
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "window.canvas: failed to create window/canvas window");
    EXPECT_EQ(dynamic_cast<const tovi_runtime_exception&>(e).record().module, "tovi_window_input_canvas");
  }

  // A last-resort std::exception handler lets a cancellation pass.
  static_assert(!std::is_base_of_v<std::exception, tovi_task_cancelled>);
  EXPECT_THROW(
      {
        try {
          throw tovi_task_cancelled{};
        } catch (const std::exception&) {
          ADD_FAILURE() << "caught as std::exception";
        }
      },
      tovi_task_cancelled);
}

}  // namespace
}  // namespace orvi
