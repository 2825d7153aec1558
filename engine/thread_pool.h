#pragma once
// A fixed set of worker threads running queued tasks first in, first out. One pool serves one
// run and is destroyed before the run's clock stops. Neither copyable nor movable: workers
// refer to it by address.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "engine/worker_placement.h"

class ThreadPool {
 public:
  // Starts `worker_count` workers; each runs `on_start` (when given) with its index before its
  // first task. If the system refuses a thread, the workers already started are stopped and
  // joined and the std::system_error is passed on.
  explicit ThreadPool(std::int32_t worker_count, WorkerStartHook on_start = {});
  // Drains the queue (workers leave only once it is empty), then joins every worker.
  ~ThreadPool();

  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  void enqueue(std::function<void()> task);
  // Returns once the queue is empty and no task is executing.
  void wait_idle();

 private:
  void worker_loop(std::stop_token token);
  void shut_down();

  WorkerStartHook on_start_;
  std::vector<std::jthread> workers_;
  std::deque<std::function<void()>> tasks_;
  std::mutex queue_mutex_;
  std::condition_variable task_available_;
  std::condition_variable idle_;
  std::atomic<bool> stop_{false};
  std::atomic<std::int32_t> active_{0};
};
