#include "app/self_test.hpp"

#include <cstdio>
#include <cstdlib>

namespace orvi {

void self_test_check(bool condition, const text& name) {
  if (condition) return;
  std::fprintf(stderr, "%s\n", name.c_str());
  std::fflush(stderr);
  std::exit(2);
}

void run_self_test(const text& directory, notebook_store& store) {
  self_test_check(store.save("hello", "Orvi + CordvexDB"), "commit");
  const auto reopened = open_notebook_store(directory);
  self_test_check(store_get(reopened->database, "hello").value == "Orvi + CordvexDB", "durable reopen");
  self_test_check(reopened->delete_key("hello"), "delete");
  const auto after_delete = open_notebook_store(directory);
  self_test_check(!store_get(after_delete->database, "hello").found, "durable deletion");
  std::fputs("quillory-sample: pass\n", stdout);
  std::fflush(stdout);
  std::exit(0);
}

}  // namespace orvi
