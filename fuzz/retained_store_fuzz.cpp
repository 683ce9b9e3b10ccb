// Drives the retained resource store with operation sequences chosen by the
// fuzzer's bytes (one byte per choice; past the end every choice is 0) and
// checks the same invariants as the seeded random test, the lean way: the
// whole store after every step that changed it, a glance after every other.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/retained/store/store_proof.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t pos = 0;
  store_proof::choices choices([&]() -> std::uint32_t { return pos < size ? data[pos++] : 0; });
  store_proof::driver driver(choices, store_proof::checking::lean);
  try {
    while (pos < size && driver.steps() < 64) driver.step();
    driver.finish();
  } catch (const store_proof::proof_failure& failure) {
    std::fprintf(stderr, "invariant broken: %s\n", failure.what());
    std::abort();
  }
  return 0;
}
