#include "leaderboard_client/time_limited_call.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Shared by the caller and the thread: whichever leaves last frees it.
struct CallState {
  std::mutex mutex;
  std::condition_variable changed;
  bool settled = false;
  bool done = false;
  std::string result;
  std::exception_ptr error;
};

// Abandoned threads are kept, not detached: under wine, detached threads of the posix threads
// layer were seen to hang and crash the process. The list is never destroyed, so threads still
// blocked at exit are not joined.
struct AbandonedThread {
  std::thread thread;
  std::shared_ptr<CallState> state;
};

struct AbandonedThreads {
  std::mutex mutex;
  std::vector<AbandonedThread> threads;  // mutex
};

AbandonedThreads& abandoned_threads() {
  static auto* const abandoned = new AbandonedThreads();
  return *abandoned;
}

// Joins the abandoned threads whose work has ended; returns how many are left.
std::size_t join_ended(AbandonedThreads& abandoned) {
  std::erase_if(abandoned.threads, [](AbandonedThread& entry) {
    {
      std::lock_guard state_lock(entry.state->mutex);
      if (!entry.state->done) return false;
    }
    entry.thread.join();
    return true;
  });
  return abandoned.threads.size();
}

void abandon(std::thread thread, std::shared_ptr<CallState> state) {
  AbandonedThreads& abandoned = abandoned_threads();
  std::lock_guard lock(abandoned.mutex);
  join_ended(abandoned);
  abandoned.threads.push_back(AbandonedThread{std::move(thread), std::move(state)});
}

}  // namespace

std::string call_with_time_limit(std::function<std::string(const std::function<void()>& settled)> work,
                                 std::chrono::milliseconds limit, const std::string& limit_error) {
  auto state = std::make_shared<CallState>();
  std::thread thread([state, work = std::move(work)] {
    const std::function<void()> settled = [&state] {
      std::lock_guard lock(state->mutex);
      state->settled = true;
      state->changed.notify_all();
    };
    std::string result;
    std::exception_ptr error;
    try {
      result = work(settled);
    } catch (...) {
      error = std::current_exception();
    }
    // Moved, not copied: the caller then holds the only reference to a thrown exception, so it
    // is never freed on this thread while the caller reads it.
    std::lock_guard lock(state->mutex);
    state->result = std::move(result);
    state->error = std::move(error);
    state->done = true;
    state->changed.notify_all();
  });

  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(state->mutex);
  if (!state->changed.wait_until(lock, deadline, [&] { return state->done || state->settled; })) {
    lock.unlock();
    abandon(std::move(thread), std::move(state));
    throw std::runtime_error(limit_error);
  }
  state->changed.wait(lock, [&] { return state->done; });
  const std::exception_ptr error = std::move(state->error);
  std::string result = std::move(state->result);
  lock.unlock();
  thread.join();
  if (error) std::rethrow_exception(error);
  return result;
}

std::size_t join_ended_abandoned_calls() {
  AbandonedThreads& abandoned = abandoned_threads();
  std::lock_guard lock(abandoned.mutex);
  return join_ended(abandoned);
}
