// The native build's file calls, so the store's logic also runs under the
// sanitizers. The product is the Windows build.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "runtime/file_access.hpp"
#include "storage/file_ops.hpp"

namespace orvi {

namespace {

bool sync_path(const char* path, int flags) {
  const int fd = ::open(path, flags);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return (::close(fd) == 0) && synced;
}

bool flush_file(const std::filesystem::path& path) { return sync_path(path.c_str(), O_WRONLY); }

bool replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return false;
  // The rename is durable once the directory entry is.
  const auto parent = to.parent_path().empty() ? std::filesystem::path(".") : to.parent_path();
  return sync_path(parent.c_str(), O_RDONLY | O_DIRECTORY);
}

}  // namespace

const store_file_ops& platform_store_file_ops() {
  static const store_file_ops ops{write_file_bytes, flush_file, replace_file, remove_file_path, query_file_kind};
  return ops;
}

}  // namespace orvi
