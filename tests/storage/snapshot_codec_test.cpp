#include <gtest/gtest.h>
TEST(Placeholder, Smoke) {}
