#include "runtime/file_access.hpp"

#include <fstream>

#include "runtime/errors.hpp"

namespace orvi {

std::optional<std::filesystem::path> to_platform_path(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
#ifdef _WIN32
  // A path made from a narrow string is read in the ANSI code page under
  // mingw, so convert strictly ourselves.
  const auto wide = utf8_to_utf16(path);
  if (!wide) return std::nullopt;
  return std::filesystem::path(std::wstring(wide->begin(), wide->end()));
#else
  if (!is_valid_utf8(path)) return std::nullopt;
  return std::filesystem::path(std::string(path));
#endif
}

byte_vector read_file_bounded(const text& path, std::int64_t maximum) {
  if (maximum < 0) raise_runtime_error("file.read.limit", "maximum byte count must not be negative");
  const auto native = to_platform_path(path);
  std::ifstream in;
  if (native) in.open(*native, std::ios::binary | std::ios::ate);
  if (!native || !in.is_open()) raise_runtime_error("file.read", "unable to open file: " + path);
  const std::streamoff size = in.tellg();
  if (size < 0) raise_runtime_error("file.read", "unable to determine file size: " + path);
  if (size > maximum) raise_runtime_error("file.read.limit", "file exceeds maximum byte count: " + path);
  byte_vector bytes(static_cast<std::size_t>(size));
  if (size == 0) return bytes;
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
    raise_runtime_error("file.read", "unable to read complete file: " + path);
  }
  return bytes;
}

bool write_file_bytes(const text& path, const byte_vector& bytes) {
  try {
    if (path.empty() || static_cast<std::int64_t>(path.size()) > MAX_PLATFORM_TEXT_BYTES || !is_valid_utf8(path)) {
      return false;
    }
    const auto native = to_platform_path(path);
    if (!native) return false;
    std::ofstream out(*native, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    if (!bytes.empty()) {
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    out.flush();
    const bool flushed = !out.fail();
    out.close();
    return flushed && !out.fail();
  } catch (...) {
    return false;
  }
}

}  // namespace orvi
