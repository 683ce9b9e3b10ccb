#include "runtime/worker_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

namespace orvi {
namespace {

// Starts real threads, counting starts and ended workers; start number fail_at is refused.
struct counting_starter {
  std::atomic<int> started{0}, ended{0};
  int fail_at = 0;
  worker_starter get() {
    return [this](worker_task body) {
      if (++started == fail_at)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      return std::thread([this, body = std::move(body)] { body(), ++ended; });
    };
  }
};

TEST(WorkerPool, WorkerCountFollowsReportedConcurrency) {
  for (auto [reported, want] : {std::pair{0u, 2}, {1u, 2}, {2u, 2}, {4u, 4}, {16u, 4}}) {
    counting_starter s;
    { worker_pool pool(reported, s.get()); }  // an empty queue: the destructor returns
    EXPECT_EQ(s.started, want) << reported;
    EXPECT_EQ(s.ended, want) << reported;
  }
}

TEST(WorkerPool, RefusedStartJoinsTheWorkersAlreadyRunning) {
  for (int fail_at : {1, 2, 4}) {
    counting_starter s;
    s.fail_at = fail_at;
    EXPECT_THROW(worker_pool(16, s.get()), std::system_error);
    EXPECT_EQ(s.ended, fail_at - 1);
  }
}

TEST(WorkerPool, RunsATaskWhileAliveAndRefusesAnEmptyOne) {
  std::promise<void> ran;
  worker_pool pool;
  EXPECT_THROW(pool.submit(worker_task()), std::invalid_argument);
  pool.submit([&] { ran.set_value(); });
  EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

TEST(WorkerPool, ProducersRacingWorkersEveryTaskRunsOnceInOrder) {
  constexpr int producers = 4, each = 3000, total = (producers + 1) * each;
  std::vector<std::atomic<int>> runs(total);
  std::atomic<int> out_of_order{0};
  auto pool = std::make_unique<worker_pool>(16, [](worker_task body) { return std::thread(std::move(body)); });
  std::mutex submit_lock;  // makes the numbering the submission order
  int next = 0;
  auto submit_numbered = [&] {
    std::lock_guard guard(submit_lock);
    pool->submit([&, seq = next++] {
      thread_local int last = -1;  // one worker takes tasks in queue order
      if (seq <= last) ++out_of_order;
      last = seq;
      ++runs[seq];
    });
  };
  std::vector<std::thread> threads;
  for (int p = 0; p < producers; ++p)
    threads.emplace_back([&] {
      for (int i = 0; i < each; ++i) submit_numbered();
    });
  for (auto& t : threads) t.join();
  // Every worker then waits at a gate with more tasks queued behind it; the
  // gate opens once the destructor has, in all likelihood, set the stop flag.
  std::promise<void> open;
  const std::shared_future<void> gate = open.get_future().share();
  for (int i = 0; i < 4; ++i) pool->submit([gate] { gate.wait(); });
  for (int i = 0; i < each; ++i) submit_numbered();
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    open.set_value();
  });
  pool.reset();
  opener.join();
  for (int seq = 0; seq < total; ++seq) ASSERT_EQ(runs[seq], 1) << seq;
  EXPECT_EQ(out_of_order, 0);
}

}  // namespace
}  // namespace orvi
