// The few platform file calls the store makes, behind one table so tests can
// make any of them fail, or stop the process at them. The default entries are
// the real calls.
#pragma once

#include <filesystem>

#include "runtime/text.hpp"

namespace orvi {

enum class file_kind { regular, other, absent, unknown };

struct store_file_ops {
  // Creates or truncates the file and writes every byte (no forcing).
  bool (*write_file)(const text& path, const byte_vector& bytes);
  // Forces an existing file's data and metadata to the device.
  bool (*flush_file)(const std::filesystem::path& path);
  // Renames `from` over `to`, replacing it, returning once the rename is durable.
  bool (*replace_file)(const std::filesystem::path& from, const std::filesystem::path& to);
  bool (*remove_file)(const std::filesystem::path& path);
  // What the path names; `unknown` when the query itself failed (access denied,
  // sharing), which must not be mistaken for absence.
  file_kind (*query_kind)(const std::filesystem::path& path);
};

// Shared by both platforms' tables: std::filesystem queries that never raise.
file_kind query_file_kind(const std::filesystem::path& path);
bool remove_file_path(const std::filesystem::path& path);

// The real calls of this platform.
const store_file_ops& platform_store_file_ops();

// The table the store uses; tests replace entries and restore it afterwards.
store_file_ops& active_store_file_ops();

}  // namespace orvi
