// The real quillory.exe, driven through its environment as a user would.
#include <gtest/gtest.h>

#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::temp_dir;

std::wstring wide(const text& path) { return to_platform_path(path)->wstring(); }

// Runs the program with the two variables set (nullptr: unset): its exit
// status, output and errors.
std::tuple<DWORD, std::string, std::string> run_quillory(const wchar_t* data, const wchar_t* test,
                                                         const std::wstring& directory = L"") {
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", data);
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", test);
  testing::child_process child(L"..\\..\\app\\quillory.exe", L"", directory);
  const DWORD status = child.wait();
  return {status, child.output(), child.errors()};
}

void write_store(const text& path, std::int32_t generation, const std::vector<std::pair<text, text>>& entries) {
  store_record store = new_empty_store("d");
  store.generation = generation;
  for (const auto& [k, v] : entries) store_put(store, k, v);
  ASSERT_TRUE(write_file_bytes(path, encode_snapshot(store)));
}

// The write-ahead copy is recovered before the self-test's own save and
// delete, which leave other records alone, run after run; a failure names
// its check or the error.
TEST(Program, SelfTestRecoversFirstPassesAndKeepsOtherRecordsOrFails) {
  temp_dir dir;
  write_store(snapshot_path(dir.str()), 1, {{"other", "old"}});
  write_store(wal_path(dir.str()), 2, {{"other", "new"}, {"more", "also new"}});
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(run_quillory(wide(dir.str()).c_str(), L"1"), std::make_tuple(0u, "quillory-sample: pass\r\n", ""));
  const store_record after = decode_snapshot(read_file_bounded(snapshot_path(dir.str()), 1 << 22), dir.str());
  EXPECT_EQ(after.generation, 6) << "a save and a delete per run";
  EXPECT_EQ(std::make_tuple(store_get(after, "other").value, store_get(after, "more").value, live_entry_count(after)),
            std::make_tuple("new", "also new", 2));

  ASSERT_TRUE(write_file_bytes(dir.file("file"), {}));
  EXPECT_EQ(run_quillory(wide(dir.file("file")).c_str(), L"1"), std::make_tuple(2u, "", "commit\r\n"));
  temp_dir oversized;
  ASSERT_TRUE(write_file_bytes(snapshot_path(oversized.str()), byte_vector(2097153, 0)));
  const auto [status, out, err] = run_quillory(wide(oversized.str()).c_str(), L"1");
  EXPECT_EQ(status, 1u);
  EXPECT_TRUE(err.starts_with("file.read.limit: file exceeds maximum byte count: ") &&
              err.ends_with("/store.cordvex\r\n"))
      << err;
}

TEST(Program, OnlyTheExactTextOneSelectsTheSelfTest) {
  for (const wchar_t* value : {L"1 ", L"true"}) {
    temp_dir dir;
    SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", wide(dir.str()).c_str());
    SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", value);
    testing::child_process child(L"..\\..\\app\\quillory.exe", L"");
    HWND window = child.wait_for_window(L"orvi_window_input_canvas_window");
    ASSERT_NE(window, nullptr) << "the notebook window should open";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(std::make_tuple(child.wait(), child.output()), std::make_tuple(0u, ""));
  }
}

TEST(Program, DefaultDataDirectoryIsRelativeToTheWorkingDirectory) {
  for (const wchar_t* data : {static_cast<const wchar_t*>(nullptr), L""}) {
    temp_dir work;
    EXPECT_EQ(std::get<0>(run_quillory(data, L"1", wide(work.str()))), 0u);
    EXPECT_TRUE(testing::file_exists(work.file("data/notebook/store.cordvex")));
  }
}

}  // namespace
}  // namespace orvi
