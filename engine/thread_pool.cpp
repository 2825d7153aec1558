#include "engine/thread_pool.h"

ThreadPool::ThreadPool(std::int32_t worker_count, WorkerStartHook on_start_hook) : on_start(std::move(on_start_hook)) {
  try {
    for (std::int32_t i = 0; i < worker_count; ++i) {
      workers.emplace_back([this, i](std::stop_token token) {
        if (on_start) on_start(i);
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
    std::lock_guard lock(queue_mutex);
    stop.store(true);
  }
  // A stop request alone does not wake a sleeping worker: the flag and the signal do.
  task_available.notify_all();
  for (std::jthread& worker : workers) {
    worker.request_stop();
  }
  workers.clear();  // each jthread joins as it is destroyed
}

void ThreadPool::enqueue(std::function<void()> task) {
  {
    std::lock_guard lock(queue_mutex);
    tasks.push_back(std::move(task));
  }
  task_available.notify_one();
}

void ThreadPool::wait_idle() {
  std::unique_lock lock(queue_mutex);
  idle.wait(lock, [this] { return tasks.empty() && active.load() == 0; });
}

void ThreadPool::worker_loop(std::stop_token token) {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(queue_mutex);
      task_available.wait(lock, [&] { return stop.load() || token.stop_requested() || !tasks.empty(); });
      // Shutdown drains the queue rather than discarding it.
      if (tasks.empty()) {
        return;
      }
      task = std::move(tasks.front());
      tasks.pop_front();
      // Counted under the mutex as it leaves the queue, so wait_idle never sees a task that
      // is neither queued nor active.
      active.fetch_add(1);
    }
    task();
    {
      // The decrement is taken under the mutex so that a waiter which has just seen a non-zero
      // count cannot miss the wake-up for the last task.
      std::lock_guard lock(queue_mutex);
      active.fetch_sub(1);
    }
    idle.notify_all();
  }
}
