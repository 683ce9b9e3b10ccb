#pragma once

#include <memory>

#include "app/notebook_store.hpp"

namespace orvi {

// Ends the process with status 2 after writing `name` to standard error when
// `condition` is false.
void self_test_check(bool condition, const text& name);

// Saves, reopens, deletes and reopens "hello"; ends the process with status 0
// after "quillory-sample: pass", or 2 after the failing check's name.
[[noreturn]] void run_self_test(const text& directory, notebook_store& store);

}  // namespace orvi
