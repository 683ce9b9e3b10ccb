// Long random operation sequences on the retained store, every invariant checked
// after every step. Bounded in time (ORVI_STORE_PROOF_SECONDS, default 10); the
// sequences take the seeds from ORVI_STORE_PROOF_SEED on (a fixed seed by
// default), and a failure names the seed and step that replay it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/retained/store/store_proof.hpp"

namespace {

TEST(StoreProof, RandomOperationSequencesKeepEveryInvariant) {
  const char* seed_text = std::getenv("ORVI_STORE_PROOF_SEED");
  const char* seconds_text = std::getenv("ORVI_STORE_PROOF_SECONDS");
  const std::uint64_t first = seed_text ? std::strtoull(seed_text, nullptr, 10) : 20261208;
  const double seconds = seconds_text ? std::atof(seconds_text) : 10;
  std::printf("store proof: seeds from %llu for %g s\n", static_cast<unsigned long long>(first), seconds);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::map<store_proof::text, std::uint64_t> outcomes;
  std::uint64_t seed = first, steps = 0;
  for (; seed == first || std::chrono::steady_clock::now() < deadline; ++seed) {
    store_proof::seeded_choices choices(seed);
    store_proof::driver driver(choices);
    try {
      while (driver.steps() < 400) driver.step();
    } catch (const store_proof::proof_failure& failure) {
      FAIL() << "seed " << seed << ", " << failure.what();
    }
    steps += driver.steps();
    for (const auto& [message, count] : driver.outcomes()) outcomes[message] += count;
  }
  std::printf("store proof: %llu sequences, %llu steps, %zu distinct outcomes\n",
              static_cast<unsigned long long>(seed - first), static_cast<unsigned long long>(steps), outcomes.size());
  if (std::getenv("ORVI_STORE_PROOF_VERBOSE")) {
    for (const auto& [message, count] : outcomes)
      std::printf("%8llu  %s\n", static_cast<unsigned long long>(count), message.c_str());
  }
  // The sequences reach every kind of applied change, not only refusals.
  for (const char* applied : {"bind: ok", "update: ok", "commit: ok", "commit-batch: ok"})
    EXPECT_GT(outcomes[applied], 0u) << applied;
}

}  // namespace
