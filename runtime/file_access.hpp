// Whole-file read and write, and the conversion of path texts to platform paths.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/text.hpp"

namespace orvi {

// Longest path or environment text, in UTF-8 bytes, that crosses to the platform.
inline constexpr std::int64_t MAX_PLATFORM_TEXT_BYTES = 131068;

// The platform form of a UTF-8 path text (UTF-16 on Windows). A zero byte or an
// invalid sequence gives nullopt: Win32 would act on a name cut at the zero.
std::optional<std::filesystem::path> to_platform_path(std::string_view path);

// Reads the whole file, at most `maximum` bytes; raises tovi_runtime_exception
// ("file.read.limit" or "file.read") otherwise.
byte_vector read_file_bounded(const text& path, std::int64_t maximum);

// Creates or truncates the file and writes every byte; true only when the write,
// flush and close all succeeded. Durability is the caller's business.
bool write_file_bytes(const text& path, const byte_vector& bytes);

// The environment variable as UTF-8; empty when absent, empty or not convertible.
// Windows only.
text read_environment_text(const text& name);

}  // namespace orvi
