// The notebook process: data directory, store, then the self-test or the window.
#include <cstdio>
#include <exception>

#include "app/ensure_directory.hpp"
#include "app/notebook_store.hpp"
#include "app/self_test.hpp"
#include "app/window_path.hpp"
#include "runtime/file_access.hpp"

int main() {
  using namespace orvi;
  try {
    text directory = read_environment_text("ORVI_EXAMPLE_DATA");
    if (directory.empty()) directory = "data/notebook";
    ensure_directory(directory);
    const auto store = open_notebook_store(directory);
    if (read_environment_text("ORVI_EXAMPLE_TEST") == "1") run_self_test(directory, *store);
    run_notebook_window(*store, directory);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
