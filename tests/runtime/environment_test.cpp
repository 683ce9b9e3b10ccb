#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/file_access.hpp"

using namespace orvi;

TEST(ReadEnvironmentText, ValuesAndRefusals) {
  const wchar_t lone_surrogate[] = {L'a', 0xD800, L'b', 0};
  SetEnvironmentVariableW(L"ORVI_TEST_VALUE", L"caf\u00e9 \U0001F4DD");
  SetEnvironmentVariableW(L"ORVI_\u00c9T\u00c9", L"yes");
  SetEnvironmentVariableW(L"ORVI_TEST_EMPTY", L"");
  SetEnvironmentVariableW(L"ORVI_TEST_UNSET", nullptr);
  SetEnvironmentVariableW(L"ORVI_TEST_SURROGATE", lone_surrogate);
  SetEnvironmentVariableW(L"A", L"wrong");
  EXPECT_EQ(read_environment_text("ORVI_TEST_VALUE"), "caf\xC3\xA9 \xF0\x9F\x93\x9D");
  EXPECT_EQ(read_environment_text("ORVI_\xC3\x89T\xC3\x89"), "yes");
  // Empty, unset and unconvertible values read as empty; so do a name cut at
  // a zero byte, or read in another code page, which would find "A".
  for (const std::string& name :
       {std::string("ORVI_TEST_EMPTY"), std::string("ORVI_TEST_UNSET"), std::string("ORVI_TEST_SURROGATE"),
        std::string("A\0B", 3), std::string("A\xC3"), std::string(), std::string(131069, 'A')})
    EXPECT_EQ(read_environment_text(name), "") << name.substr(0, 20);
}
