#include "app/ensure_directory.hpp"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.hpp"

namespace orvi {

TEST(EnsureDirectory, RefusedTextsAndCreation) {
  // Empty, too long, a zero byte, invalid UTF-8, a namespace prefix in any
  // mix of separators, an incomplete UNC name.
  for (const text& path :
       {text(), text(131069, 'a'), text("data\0x", 6), text("data\xC3"), text("\\\\?\\C:\\data"), text("//?/C:/data"),
        text("\\/?\\C:\\data"), text("\\\\.\\C:\\data"), text("/\\./pipe"), text("\\??\\C:\\data"), text("\\??\\"),
        text("/?\?/C:/data"), text("\\\\??\\C:\\data"), text("\\\\"), text("\\\\server"), text("//server/"),
        text("\\\\server\\\\share"), text("//\\share"), text("\\\\\\a\\b")})
    EXPECT_TRUE(is_refused_directory_text(path)) << path.substr(0, 40);
  for (const text& path :
       {text("data/notebook"), text("a\\b"), text("C:\\data"), text("\\data"), text("\\a?\\x"), text("\\\\a?\\x"),
        text("\\?a\\"), text("//server/share"), text("\\\\server\\share\\dir"), text("caf\xC3\xA9"), text(131068, 'a')})
    EXPECT_FALSE(is_refused_directory_text(path)) << path.substr(0, 40);

  // Missing parents are made; a file in the way is left alone, silently.
  testing::temp_dir tmp;
  ensure_directory(tmp.file("a/b/c"));
  EXPECT_TRUE(std::filesystem::is_directory(*to_platform_path(tmp.file("a/b/c"))));
  ASSERT_TRUE(write_file_bytes(tmp.file("file"), {1}));
  ensure_directory(tmp.file("file"));
  ensure_directory(tmp.file("file/below"));
  EXPECT_TRUE(std::filesystem::is_regular_file(*to_platform_path(tmp.file("file"))));
}

}  // namespace orvi
