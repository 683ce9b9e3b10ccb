#pragma once

#include "storage/file_ops.hpp"

namespace orvi::testing {

// Restores the real file calls when a test that replaced some of them ends.
struct file_ops_guard {
  store_file_ops saved = active_store_file_ops();
  ~file_ops_guard() { active_store_file_ops() = saved; }
};

}  // namespace orvi::testing
