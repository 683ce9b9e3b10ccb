#include <windows.h>

#include "runtime/file_access.hpp"
#include "storage/file_ops.hpp"

namespace orvi {

namespace {

bool flush_file(const std::filesystem::path& path) {
  // Write access is what FlushFileBuffers needs; readers may keep the file open.
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(file) != 0;
  const bool closed = CloseHandle(file) != 0;
  return flushed && closed;
}

bool replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

const store_file_ops& platform_store_file_ops() {
  static const store_file_ops ops{write_file_bytes, flush_file, replace_file, remove_file_path, query_file_kind};
  return ops;
}

}  // namespace orvi
