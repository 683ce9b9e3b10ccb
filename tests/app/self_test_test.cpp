#include "app/self_test.hpp"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.hpp"

namespace orvi {

// Passes run after run, leaving other records alone; or names the failing check.
TEST(SelfTest, PassesTwiceLeavingOtherRecordsOrNamesTheFailingCheck) {
  testing::temp_dir tmp;
  ASSERT_TRUE(open_notebook_store(tmp.str())->save("other", "kept"));
  for (int run = 0; run < 2; ++run)
    EXPECT_EXIT(run_self_test(tmp.str(), *open_notebook_store(tmp.str())), ::testing::ExitedWithCode(0), "^$");
  const auto after = open_notebook_store(tmp.str());
  EXPECT_EQ(std::make_tuple(after->database.generation, live_entry_count(after->database),
                            store_get(after->database, "other").value),
            std::make_tuple(5, 1, "kept"))
      << "a save and a delete per run";
  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {}));
  EXPECT_EXIT(run_self_test(tmp.file("file"), *open_notebook_store(tmp.file("file"))), ::testing::ExitedWithCode(2),
              "^commit\n$");
}

}  // namespace orvi
