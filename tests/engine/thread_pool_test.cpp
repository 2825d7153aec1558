#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/thread_pool.h"

TEST(ThreadPool, RunsEveryTaskOnceTakingThemInQueueOrder) {
  std::mutex mutex;
  std::vector<int> started;
  std::vector<std::atomic<int>> runs(2040);
  {
    ThreadPool pool(4);
    for (int i = 0; i < 2040; ++i) {
      pool.enqueue([&, i] {
        {
          std::lock_guard lock(mutex);
          started.push_back(i);
        }
        runs[i].fetch_add(1);
      });
    }
    pool.wait_idle();
  }
  for (const auto& count : runs) {
    ASSERT_EQ(count.load(), 1);
  }
  // With one worker the start order is exactly the queue order.
  started.clear();
  {
    ThreadPool pool(1);
    for (int i = 0; i < 100; ++i) {
      pool.enqueue([&, i] { started.push_back(i); });
    }
    pool.wait_idle();
  }
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(started[i], i);
  }
}

TEST(ThreadPool, DestructionDrainsTheQueue) {
  std::atomic<int> done{0};
  {
    ThreadPool pool(2);
    for (int i = 0; i < 50; ++i) {
      pool.enqueue([&] {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        done.fetch_add(1);
      });
    }
  }
  EXPECT_EQ(done.load(), 50);
}

TEST(ThreadPool, WaitIdleReturnsAtOnceWithoutTasks) {
  ThreadPool pool(3);
  pool.wait_idle();
  ThreadPool empty(0);
  empty.wait_idle();
}

TEST(ThreadPool, WaitIdleWaitsForTheLastTaskToReturn) {
  // The last task is taken from the queue at once but returns later: wait_idle must not return
  // when the queue empties, only when the task is done. Repeated to catch a missed wake-up.
  for (int round = 0; round < 200; ++round) {
    std::atomic<bool> finished{false};
    ThreadPool pool(2);
    pool.enqueue([&] {
      std::this_thread::sleep_for(std::chrono::microseconds(round % 7 * 50));
      finished.store(true);
    });
    pool.wait_idle();
    ASSERT_TRUE(finished.load()) << "round " << round;
  }
}
