// Long random operation sequences on the retained store, every invariant checked
// after every step. Bounded in time (ORVI_STORE_PROOF_SECONDS, default 10); the
// sequences take the seeds from ORVI_STORE_PROOF_SEED on (a fixed seed by
// default), and a failure names the seed and step that replay it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "tests/retained/store/store_proof.hpp"

TEST(StoreProof, RandomOperationSequencesKeepEveryInvariant) {
  const char* seed_text = std::getenv("ORVI_STORE_PROOF_SEED");
  const char* seconds_text = std::getenv("ORVI_STORE_PROOF_SECONDS");
  const std::uint64_t first = seed_text ? std::strtoull(seed_text, nullptr, 10) : 20261208;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds_text ? std::atof(seconds_text) : 10);
  std::map<store_proof::text, std::uint64_t> outcomes;
  std::uint64_t seed = first;
  for (; seed == first || std::chrono::steady_clock::now() < deadline; ++seed) {
    store_proof::choices choices([rng = std::mt19937_64(seed)]() mutable { return static_cast<std::uint32_t>(rng()); });
    store_proof::driver driver(choices);
    try {
      while (driver.steps() < 400) driver.step();
    } catch (const store_proof::proof_failure& failure) {
      FAIL() << "seed " << seed << ", " << failure.what();
    }
    for (const auto& [message, count] : driver.outcomes()) outcomes[message] += count;
  }
  std::printf("store proof: seeds %llu..%llu, %zu distinct outcomes\n", static_cast<unsigned long long>(first),
              static_cast<unsigned long long>(seed - 1), outcomes.size());
  // The sequences reach every kind of applied change, not only refusals.
  for (const char* applied : {"bind: ok", "update: ok", "commit: ok", "commit-batch: ok"})
    EXPECT_GT(outcomes[applied], 0u) << applied;
}

// The fuzz target's run of a lean driver on bytes, with or without the memory
// of the checks earlier runs passed; what the store shows at the end.
static store_proof::observed run_bytes(const std::vector<std::uint8_t>& data, store_proof::passed_checks* passed) {
  std::size_t pos = 0;
  std::uint64_t key = 14695981039346656037u;
  store_proof::choices choices([&]() -> std::uint32_t {
    const std::uint32_t choice = pos < data.size() ? data[pos++] : 0;
    key = (key ^ (choice + 1)) * 1099511628211u;
    return choice;
  });
  if (passed) passed->key = [&] { return key; };
  store_proof::driver driver(choices, store_proof::checking::lean);
  driver.remember(passed);
  while (pos < data.size() && driver.steps() < 64) driver.step();
  driver.finish();
  return driver.shows();
}

// Remembering only skips checks: a run makes the same operations, in the same
// order of choices, as without the memory, also when it begins as an earlier
// run did (as the fuzzer's mutations mostly do) and the memory does skip.
TEST(StoreProof, RememberedChecksChangeNoOperation) {
  std::mt19937_64 rng(20261207);
  store_proof::passed_checks passed;
  std::vector<std::uint8_t> input(800);
  for (int i = 0; i < 24; ++i) {
    const std::size_t kept = i % 3 == 0 ? 0 : rng() % input.size();  // the beginning kept from the last input
    for (std::size_t b = kept; b < input.size(); ++b) input[b] = static_cast<std::uint8_t>(rng());
    try {
      EXPECT_TRUE(run_bytes(input, &passed) == run_bytes(input, nullptr)) << "input " << i;
    } catch (const store_proof::proof_failure& failure) {
      FAIL() << "input " << i << ": " << failure.what();
    }
  }
  EXPECT_GT(passed.skipped, 0u);
}
