// A fresh directory per test, removed afterwards, and small file helpers.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/file_access.hpp"
#include "runtime/text.hpp"

namespace orvi::testing {

inline text utf8_of(const std::filesystem::path& p) {
  const auto u8 = p.generic_u8string();
  return text(u8.begin(), u8.end());
}

class temp_dir {
 public:
  temp_dir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("orvi-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  // The directory as a UTF-8 path text with "/" separators.
  text str() const { return utf8_of(path_); }
  text file(const text& name) const { return str() + "/" + name; }

 private:
  std::filesystem::path path_;
};

inline bool file_exists(const text& path) { return std::filesystem::exists(*to_platform_path(path)); }
inline byte_vector file_bytes(const text& path) { return read_file_bounded(path, 1 << 26); }

// Names of the files in a directory, sorted.
inline std::vector<text> list_dir(const text& dir) {
  std::vector<text> names;
  for (const auto& entry : std::filesystem::directory_iterator(*to_platform_path(dir)))
    names.push_back(utf8_of(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace orvi::testing
