#include "runtime/worker_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <system_error>

using namespace orvi;

TEST(WorkerPool, StartsTwoToFourWorkersAndJoinsThemWhenAStartIsRefused) {
  // Reported concurrency, refused start (0: none), workers that ran and ended.
  const std::tuple<unsigned, int, int> cases[] = {{0, 0, 2},  {1, 0, 2},  {2, 0, 2},  {4, 0, 4},
                                                  {16, 0, 4}, {16, 1, 0}, {16, 2, 1}, {16, 4, 3}};
  for (auto [reported, fail_at, ran] : cases) {
    std::atomic<int> started{0}, ended{0};
    // Starts real threads and counts the workers that ended; start number fail_at is refused.
    const worker_starter start = [&, fail_at](worker_task body) {
      if (++started == fail_at) throw std::system_error(std::error_code(), "refused");
      return std::thread([&ended, body = std::move(body)] { body(), ++ended; });
    };
    try {
      worker_pool pool(reported, start);  // left with an empty queue
      EXPECT_EQ(fail_at, 0);
    } catch (const std::system_error&) {
      EXPECT_EQ(started, fail_at);
    }
    EXPECT_EQ(ended, ran) << reported << " " << fail_at;
  }
}

TEST(WorkerPool, EveryTaskRunsOnceInSubmissionOrderBeforeTheDestructorReturns) {
  auto pool = std::make_unique<worker_pool>();
  EXPECT_THROW(pool->submit(worker_task()), std::invalid_argument);
  std::promise<void> ran;  // while the pool lives
  pool->submit([&] { ran.set_value(); });
  EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);

  constexpr int producers = 4, each = 3000, total = (producers + 1) * each;
  std::vector<std::atomic<int>> runs(total);
  std::atomic<int> out_of_order{0};
  std::mutex submit_lock;  // makes the numbering the submission order
  int next = 0;
  auto submit_numbered = [&](int count) {
    for (int i = 0; i < count; ++i) {
      std::lock_guard guard(submit_lock);
      pool->submit([&, seq = next++] {
        thread_local int last = -1;  // each worker takes its tasks in queue order
        out_of_order += seq <= last;
        last = seq;
        ++runs[seq];
      });
    }
  };
  std::vector<std::thread> threads(producers);
  for (auto& t : threads) t = std::thread(submit_numbered, each);
  for (auto& t : threads) t.join();
  // Every worker then waits at a gate with more tasks queued behind it; the
  // gate opens once the destructor has, in all likelihood, set the stop flag.
  std::promise<void> open;
  const std::shared_future<void> gate = open.get_future().share();
  for (int i = 0; i < 4; ++i) pool->submit([gate] { gate.wait(); });
  submit_numbered(each);
  std::thread opener([&] { std::this_thread::sleep_for(std::chrono::milliseconds(20)), open.set_value(); });
  pool.reset();
  opener.join();
  for (auto& r : runs) ASSERT_EQ(r, 1);
  EXPECT_EQ(out_of_order, 0);
}
