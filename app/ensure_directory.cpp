#include "app/ensure_directory.hpp"

#include <filesystem>

#include "runtime/file_access.hpp"

namespace orvi {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// "\\?\", "\\.\" and "\??\" in any mix of separators, and "\\??\".
bool has_namespace_prefix(const text& p) {
  const auto sep = [&](std::size_t i) { return i < p.size() && is_separator(p[i]); };
  const auto at = [&](std::size_t i) { return i < p.size() ? p[i] : '\0'; };
  if (p.size() >= 4 && sep(0) && sep(1) && (at(2) == '?' || at(2) == '.') && sep(3)) return true;
  if (p.size() >= 4 && sep(0) && at(1) == '?' && at(2) == '?' && sep(3)) return true;
  return p.size() >= 5 && sep(0) && sep(1) && at(2) == '?' && at(3) == '?' && sep(4);
}

// A UNC text needs "\\server\share".
bool is_incomplete_unc(const text& p) {
  if (p.size() < 2 || !is_separator(p[0]) || !is_separator(p[1])) return false;
  std::size_t server_end = 2;
  while (server_end < p.size() && !is_separator(p[server_end])) ++server_end;
  if (server_end == 2 || server_end == p.size()) return true;
  std::size_t share_end = server_end + 1;
  while (share_end < p.size() && !is_separator(p[share_end])) ++share_end;
  return share_end == server_end + 1;
}

}  // namespace

bool is_refused_directory_text(const text& path) {
  return path.empty() || static_cast<std::int64_t>(path.size()) > MAX_PLATFORM_TEXT_BYTES ||
         path.find('\0') != text::npos || !is_valid_utf8(path) || has_namespace_prefix(path) || is_incomplete_unc(path);
}

void ensure_directory(const text& path) {
  if (is_refused_directory_text(path)) return;
  const auto native = to_platform_path(path);
  if (!native) return;
  std::error_code ec;
  const auto status = std::filesystem::status(*native, ec);
  const bool missing =
      ec ? ec == std::errc::no_such_file_or_directory
         : status.type() == std::filesystem::file_type::not_found || status.type() == std::filesystem::file_type::none;
  if (missing) std::filesystem::create_directories(*native, ec);
}

}  // namespace orvi
