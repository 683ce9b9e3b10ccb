#include "runtime/text.hpp"
#include <gtest/gtest.h>
TEST(Text, Smoke) { EXPECT_TRUE(orvi::is_valid_utf8("abc")); }
