#include "leaderboard_client/time_limited_call.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

using namespace std::chrono_literals;

TEST(TimeLimitedCall, GivesTheResultOrTheErrorOfAWorkThatEnds) {
  EXPECT_EQ(call_with_time_limit([](const auto&) { return std::string("rows"); }, 60s, "late"), "rows");
  EXPECT_THROW(
      {
        try {
          call_with_time_limit([](const auto&) -> std::string { throw std::runtime_error("HTTP 500"); }, 60s, "late");
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "HTTP 500");
          throw;
        }
      },
      std::runtime_error);
}

// The work blocks until the test lets it go, long after the caller gave up: it must then end
// without touching anything of the caller's.
TEST(TimeLimitedCall, AWorkThatNeverSettlesIsAbandonedAtTheLimit) {
  auto release = std::make_shared<std::promise<void>>();
  auto ended = std::make_shared<std::promise<void>>();
  std::future<void> has_ended = ended->get_future();
  try {
    call_with_time_limit(
        [gate = release->get_future().share(), ended](const auto&) {
          gate.wait();
          ended->set_value();
          return std::string("too late");
        },
        50ms, "HttpSendRequest failed");
    ADD_FAILURE() << "no time-out";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "HttpSendRequest failed");
  }
  release->set_value();
  has_ended.wait();
  // The ended thread is reclaimed, not kept for the life of the process.
  while (join_ended_abandoned_calls() != 0) std::this_thread::yield();
}
