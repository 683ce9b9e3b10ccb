// A fixed-size pool of worker threads running queued tasks first in, first out.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvi {

using worker_task = std::function<void()>;

// Starts one thread running the given body; throws (std::system_error) when
// the system refuses a thread.
using worker_starter = std::function<std::thread(worker_task body)>;

class worker_pool {
 public:
  // Sized from std::thread::hardware_concurrency().
  worker_pool();
  // Starts min(max(reported_concurrency, 2), 4) workers through start. When a
  // start fails, the workers already running are stopped and joined before
  // the exception leaves.
  worker_pool(unsigned reported_concurrency, const worker_starter& start);
  // Runs every task still queued, then joins the workers.
  ~worker_pool();

  worker_pool(const worker_pool&) = delete;
  worker_pool& operator=(const worker_pool&) = delete;

  // Queues a task at the back. An empty task raises std::invalid_argument
  // here, rather than ending the process later inside a worker. A task that
  // throws ends the process.
  void submit(worker_task task);

 private:
  void run_worker();
  void stop_and_join();

  std::mutex lock_;  // guards tasks_ and stop_
  std::condition_variable wake_;
  std::deque<worker_task> tasks_;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace orvi
