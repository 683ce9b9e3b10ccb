#include "app/self_test.hpp"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

TEST(SelfTest, PassesTwiceLeavingOtherRecordsOrNamesTheFailingCheck) {
  testing::temp_dir tmp;
  ASSERT_TRUE(open_notebook_store(tmp.str())->save("other", "kept"));
  for (int run = 0; run < 2; ++run) {
    auto store = open_notebook_store(tmp.str());
    EXPECT_EXIT(run_self_test(tmp.str(), *store), ::testing::ExitedWithCode(0), "^$");
  }
  const auto after = open_notebook_store(tmp.str());
  EXPECT_EQ(after->database.generation, 5) << "a save and a delete per run";
  EXPECT_EQ(live_entry_count(after->database), 1);
  EXPECT_EQ(store_get(after->database, "other").value, "kept");

  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {}));
  auto failed = open_notebook_store(tmp.file("file"));
  EXPECT_EXIT(run_self_test(tmp.file("file"), *failed), ::testing::ExitedWithCode(2), "^commit\n$");
}

}  // namespace
}  // namespace orvi
