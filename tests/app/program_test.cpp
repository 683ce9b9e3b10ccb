// The real quillory.exe, driven through its environment as a user would.
#include <gtest/gtest.h>

#include "storage/durable_store.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::child_process;
using testing::temp_dir;

struct run_result {
  DWORD status;
  std::string out;
  std::string err;
};

std::wstring wide(const text& path) { return std::filesystem::path(*to_platform_path(path)).wstring(); }

// Runs the program with the two variables set (nullptr: unset).
run_result run_quillory(const wchar_t* data, const wchar_t* test, const std::wstring& directory = L"") {
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", data);
  SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", test);
  child_process child(L"..\\..\\app\\quillory.exe", L"", directory);
  EXPECT_TRUE(child.started());
  const DWORD status = child.wait();
  return {status, child.output(), child.errors()};
}

run_result self_test(const text& dir) { return run_quillory(wide(dir).c_str(), L"1"); }

void write_store(const text& path, std::int32_t generation, std::vector<std::pair<text, text>> entries) {
  store_record store = new_empty_store("d");
  store.generation = generation;
  for (const auto& [k, v] : entries) store_put(store, k, v);
  ASSERT_TRUE(write_file_bytes(path, encode_snapshot(store)));
}

// The write-ahead copy is recovered before the self-test's own save and
// delete, which leave other records alone, run after run.
TEST(Program, SelfTestRecoversFirstPassesAndKeepsOtherRecords) {
  temp_dir dir;
  write_store(snapshot_path(dir.str()), 1, {{"other", "old"}});
  write_store(wal_path(dir.str()), 2, {{"other", "new"}, {"more", "also new"}});
  for (int run = 0; run < 2; ++run) {
    const auto r = self_test(dir.str());
    EXPECT_EQ(r.status, 0u) << r.err;
    EXPECT_EQ(r.out, "quillory-sample: pass\r\n");
  }
  const store_record after = decode_snapshot(read_file_bounded(snapshot_path(dir.str()), 1 << 22), dir.str());
  EXPECT_EQ(after.generation, 6) << "a save and a delete per run";
  EXPECT_EQ(store_get(after, "other").value, "new");
  EXPECT_EQ(store_get(after, "more").value, "also new");
  EXPECT_FALSE(store_get(after, "hello").found);
}

TEST(Program, SelfTestFailuresAndErrors) {
  temp_dir dir;
  ASSERT_TRUE(write_file_bytes(dir.file("file"), {}));
  const auto on_file = self_test(dir.file("file"));
  EXPECT_EQ(on_file.status, 2u);
  EXPECT_EQ(on_file.err, "commit\r\n");
  EXPECT_EQ(on_file.out, "");

  temp_dir oversized;
  ASSERT_TRUE(write_file_bytes(snapshot_path(oversized.str()), byte_vector(2097153, 0)));
  const auto r = self_test(oversized.str());
  EXPECT_EQ(r.status, 1u);
  EXPECT_EQ(r.err.substr(0, 50), "file.read.limit: file exceeds maximum byte count: ");
  EXPECT_TRUE(r.err.ends_with("/store.cordvex\r\n")) << r.err;
}

TEST(Program, OnlyTheExactTextOneSelectsTheSelfTest) {
  for (const wchar_t* value : {L"1 ", L"true"}) {
    temp_dir dir;
    SetEnvironmentVariableW(L"ORVI_EXAMPLE_DATA", wide(dir.str()).c_str());
    SetEnvironmentVariableW(L"ORVI_EXAMPLE_TEST", value);
    child_process child(L"..\\..\\app\\quillory.exe", L"");
    HWND window = child.wait_for_window(L"orvi_window_input_canvas_window");
    ASSERT_NE(window, nullptr) << "the notebook window should open";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.wait(), 0u);
    EXPECT_EQ(child.output(), "");
  }
}

TEST(Program, DefaultDataDirectoryIsRelativeToTheWorkingDirectory) {
  for (const wchar_t* data : {static_cast<const wchar_t*>(nullptr), L""}) {
    temp_dir work;
    const auto r = run_quillory(data, L"1", wide(work.str()));
    EXPECT_EQ(r.status, 0u) << r.err;
    EXPECT_TRUE(testing::file_exists(work.file("data/notebook/store.cordvex")));
  }
}

}  // namespace
}  // namespace orvi
