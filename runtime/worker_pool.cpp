#include "runtime/worker_pool.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace orvi {

worker_pool::worker_pool()
    : worker_pool(std::thread::hardware_concurrency(), [](worker_task body) { return std::thread(std::move(body)); }) {}

worker_pool::worker_pool(unsigned reported_concurrency, const worker_starter& start) {
  const unsigned count = std::clamp(reported_concurrency, 2u, 4u);
  // Reserved up front, so storing a started thread never throws and leaves it
  // running unowned.
  workers_.reserve(count);
  try {
    for (unsigned i = 0; i < count; ++i) workers_.push_back(start([this] { run_worker(); }));
  } catch (...) {
    // A joinable std::thread destroyed here would end the process.
    stop_and_join();
    throw;
  }
}

worker_pool::~worker_pool() { stop_and_join(); }

void worker_pool::submit(worker_task task) {
  if (!task) throw std::invalid_argument("worker_pool::submit: empty task");
  {
    std::lock_guard guard(lock_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void worker_pool::run_worker() {
  for (;;) {
    worker_task task;
    {
      std::unique_lock guard(lock_);
      wake_.wait(guard, [this] { return stop_ || !tasks_.empty(); });
      // Stopping ends a worker only once the queue is empty.
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

void worker_pool::stop_and_join() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

}  // namespace orvi
