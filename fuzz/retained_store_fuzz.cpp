// Drives the retained resource store with operation sequences chosen by the
// fuzzer's bytes (one byte per choice; past the end every choice is 0) and
// checks the same invariants as the seeded random test, the lean way: the
// whole store after every step that changed it, a glance after every other.
// Most inputs are mutations that keep the beginning of an input run before,
// so the process remembers which checks passed after which choices and makes
// each only once.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/retained/store/store_proof.hpp"

namespace {

store_proof::passed_checks passed;
std::uint64_t choices_key = 0;  // FNV-1a over the choices made in this run

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t pos = 0;
  choices_key = 14695981039346656037u;
  store_proof::choices choices([&]() -> std::uint32_t {
    const std::uint32_t choice = pos < size ? data[pos++] : 0;
    choices_key = (choices_key ^ (choice + 1)) * 1099511628211u;  // a 0 past the end counts too
    return choice;
  });
  if (!passed.key) passed.key = [] { return choices_key; };
  if (passed.keys.size() > (1u << 20)) passed.keys.clear();  // about 40 MiB at most
  store_proof::driver driver(choices, store_proof::checking::lean);
  driver.remember(&passed);
  try {
    while (pos < size && driver.steps() < 64) driver.step();
    driver.finish();
  } catch (const store_proof::proof_failure& failure) {
    std::fprintf(stderr, "invariant broken: %s\n", failure.what());
    std::abort();
  }
  return 0;
}
