#include "runtime/errors.hpp"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <type_traits>

namespace orvi {
namespace {

TEST(Errors, DescriptionIsCodeColonMessage) {
  runtime_error_record record("file.read", "unable to open file: a.bin");
  EXPECT_EQ(record.value, 0u);
  EXPECT_EQ(record.module, "");
  EXPECT_EQ(record.detail, "");
  record.value = 7;
  record.module = "tovi_window_input_canvas";
  record.detail = "extra";

  const tovi_runtime_exception e(record);
  EXPECT_STREQ(e.what(), "file.read: unable to open file: a.bin");

  // The exception keeps its own copy: later changes to the record do not show.
  record.code = "changed";
  record.message = "changed";
  EXPECT_STREQ(e.what(), "file.read: unable to open file: a.bin");
  EXPECT_EQ(e.record().code, "file.read");
  EXPECT_EQ(e.record().value, 7u);
  EXPECT_EQ(e.record().module, "tovi_window_input_canvas");
  EXPECT_EQ(e.record().detail, "extra");

  const runtime_error_record copy = e.record();
  EXPECT_EQ(copy.code, "file.read");
  EXPECT_EQ(copy.message, "unable to open file: a.bin");
  EXPECT_EQ(copy.value, 7u);
  EXPECT_EQ(copy.module, "tovi_window_input_canvas");
  EXPECT_EQ(copy.detail, "extra");

  const tovi_runtime_exception copied = e;
  EXPECT_STREQ(copied.what(), e.what());

  EXPECT_STREQ(tovi_runtime_exception(runtime_error_record("", "")).what(), ": ");
}

TEST(Errors, StandardHandlerCatchesRuntimeExceptionOnly) {
  try {
    raise_runtime_error("window.canvas", "failed to create window/canvas window", "tovi_window_input_canvas");
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "window.canvas: failed to create window/canvas window");
    const auto* runtime = dynamic_cast<const tovi_runtime_exception*>(&e);
    ASSERT_NE(runtime, nullptr);
    EXPECT_EQ(runtime->record().module, "tovi_window_input_canvas");
    EXPECT_EQ(runtime->record().value, 0u);
  }

  bool caught_as_standard = false;
  bool caught_as_cancelled = false;
  try {
    try {
      throw tovi_task_cancelled{};
    } catch (const std::exception&) {
      caught_as_standard = true;
    }
  } catch (const tovi_task_cancelled&) {
    caught_as_cancelled = true;
  }
  EXPECT_FALSE(caught_as_standard);
  EXPECT_TRUE(caught_as_cancelled);
  static_assert(!std::is_base_of_v<std::exception, tovi_task_cancelled>);
  static_assert(std::is_empty_v<tovi_task_cancelled>);
}

}  // namespace
}  // namespace orvi
