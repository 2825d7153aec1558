#include "engine/thread_pool.h"

ThreadPool::ThreadPool(std::int32_t worker_count, WorkerStartHook on_start_hook) : on_start_(std::move(on_start_hook)) {
  try {
    for (std::int32_t i = 0; i < worker_count; ++i) {
      workers_.emplace_back([this, i](std::stop_token token) {
        if (on_start_) on_start_(i);
        worker_loop(token);
      });
    }
  } catch (...) {
    shut_down();
    throw;
  }
}

ThreadPool::~ThreadPool() { shut_down(); }

void ThreadPool::shut_down() {
  {
    // Set under the mutex: a worker that has just found the queue empty and is about to sleep
    // would otherwise miss both the flag and the signal, and the join below would never end.
    std::lock_guard lock(queue_mutex_);
    stop_.store(true);
  }
  // A stop request alone does not wake a sleeping worker: the flag and the signal do.
  task_available_.notify_all();
  for (std::jthread& worker : workers_) {
    worker.request_stop();
  }
  workers_.clear();  // each jthread joins as it is destroyed
}

void ThreadPool::enqueue(std::function<void()> task) {
  {
    std::lock_guard lock(queue_mutex_);
    tasks_.push_back(std::move(task));
  }
  task_available_.notify_one();
}

void ThreadPool::wait_idle() {
  std::unique_lock lock(queue_mutex_);
  idle_.wait(lock, [this] { return tasks_.empty() && active_.load() == 0; });
}

void ThreadPool::worker_loop(std::stop_token token) {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(queue_mutex_);
      task_available_.wait(lock, [&] { return stop_.load() || token.stop_requested() || !tasks_.empty(); });
      // Shutdown drains the queue rather than discarding it.
      if (tasks_.empty()) {
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
      // Counted under the mutex as it leaves the queue, so wait_idle never sees a task that
      // is neither queued nor active.
      active_.fetch_add(1);
    }
    task();
    {
      // The decrement is taken under the mutex so that a waiter which has just seen a non-zero
      // count cannot miss the wake-up for the last task.
      std::lock_guard lock(queue_mutex_);
      active_.fetch_sub(1);
    }
    idle_.notify_all();
  }
}
