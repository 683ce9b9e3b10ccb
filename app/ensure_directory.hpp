#pragma once

#include "runtime/text.hpp"

namespace orvi {

// True for a directory text the notebook must not hand to the platform: empty,
// too long, a zero byte, invalid UTF-8, a device, long-path or NT prefix, or a
// UNC text without both a server and a share.
bool is_refused_directory_text(const text& path);

// Creates the directory and its missing parents. Silent: a directory that
// could not be made shows up later as the database's open error.
void ensure_directory(const text& path);

}  // namespace orvi
