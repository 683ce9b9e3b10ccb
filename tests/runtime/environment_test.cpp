#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/file_access.hpp"

namespace orvi {
namespace {

TEST(ReadEnvironmentText, ValuesAndRefusals) {
  SetEnvironmentVariableW(L"ORVI_TEST_VALUE", L"caf\u00e9 \U0001F4DD");
  EXPECT_EQ(read_environment_text("ORVI_TEST_VALUE"), "caf\xC3\xA9 \xF0\x9F\x93\x9D");

  SetEnvironmentVariableW(L"ORVI_TEST_EMPTY", L"");
  SetEnvironmentVariableW(L"ORVI_TEST_UNSET", nullptr);
  EXPECT_EQ(read_environment_text("ORVI_TEST_EMPTY"), "");
  EXPECT_EQ(read_environment_text("ORVI_TEST_UNSET"), "");

  const wchar_t lone_surrogate[] = {L'a', 0xD800, L'b', 0};
  SetEnvironmentVariableW(L"ORVI_TEST_SURROGATE", lone_surrogate);
  EXPECT_EQ(read_environment_text("ORVI_TEST_SURROGATE"), "");

  // A name cut at a zero byte, or read in another code page, would find "A".
  SetEnvironmentVariableW(L"A", L"wrong");
  EXPECT_EQ(read_environment_text(std::string("A\0B", 3)), "");
  EXPECT_EQ(read_environment_text("A\xC3"), "");
  EXPECT_EQ(read_environment_text(""), "");
  EXPECT_EQ(read_environment_text(std::string(131069, 'A')), "");

  SetEnvironmentVariableW(L"ORVI_\u00c9T\u00c9", L"yes");
  EXPECT_EQ(read_environment_text("ORVI_\xC3\x89T\xC3\x89"), "yes");
}

}  // namespace
}  // namespace orvi
