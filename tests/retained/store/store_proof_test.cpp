// Long random operation sequences on the retained store, every invariant checked
// after every step. Bounded in time (ORVI_STORE_PROOF_SECONDS, default 10); the
// sequences take the seeds from ORVI_STORE_PROOF_SEED on (a fixed seed by
// default), and a failure names the seed and step that replay it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

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
