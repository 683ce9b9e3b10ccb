#include <gtest/gtest.h>

#include "retained/store/retained_resource_store.hpp"

TEST(RetainedStore, NewStoreIsOpen) {
  orvi::retained_resource_store store("main");
  EXPECT_EQ(store.state_name(), "open");
}
