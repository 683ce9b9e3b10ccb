#include "app/ensure_directory.hpp"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

TEST(EnsureDirectory, RefusedTexts) {
  const text refused[] = {
      "",
      std::string(131069, 'a'),
      std::string("data\0x", 6),
      "data\xC3",
      "\\\\?\\C:\\data",
      "//?/C:/data",
      "\\/?\\C:\\data",
      "\\\\.\\C:\\data",
      "/\\./pipe",
      "\\??\\C:\\data",
      "/?"
      "?/C:/data",
      "\\\\??\\C:\\data",
      "\\\\",
      "\\\\server",
      "//server/",
      "\\\\server\\\\share",
      "//\\share",
  };
  for (const text& path : refused) EXPECT_TRUE(is_refused_directory_text(path)) << path.substr(0, 40);

  const text accepted[] = {
      "data/notebook",         "C:\\data", "\\data", "//server/share", "\\\\server\\share\\dir", "caf\xC3\xA9",
      std::string(131068, 'a')};
  for (const text& path : accepted) EXPECT_FALSE(is_refused_directory_text(path)) << path.substr(0, 40);
}

TEST(EnsureDirectory, CreatesMissingParentsAndLeavesFilesAlone) {
  testing::temp_dir tmp;
  ensure_directory(tmp.file("a/b/c"));
  EXPECT_TRUE(std::filesystem::is_directory(*to_platform_path(tmp.file("a/b/c"))));

  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {1}));
  ensure_directory(tmp.file("file"));
  EXPECT_TRUE(std::filesystem::is_regular_file(*to_platform_path(tmp.file("file"))));
  ensure_directory(tmp.file("file/below"));  // silent
}

}  // namespace
}  // namespace orvi
