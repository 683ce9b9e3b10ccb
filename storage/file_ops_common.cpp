#include "runtime/file_access.hpp"
#include "storage/file_ops.hpp"

namespace orvi {

file_kind query_file_kind(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  switch (status.type()) {
    case std::filesystem::file_type::regular:
      return file_kind::regular;
    case std::filesystem::file_type::not_found:
      return file_kind::absent;
    case std::filesystem::file_type::none:
      return ec == std::errc::no_such_file_or_directory ? file_kind::absent : file_kind::unknown;
    default:
      return file_kind::other;
  }
}

bool remove_file_path(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::remove(path, ec);
}

store_file_ops& active_store_file_ops() {
  static store_file_ops ops = platform_store_file_ops();
  return ops;
}

}  // namespace orvi
