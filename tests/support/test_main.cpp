// The main of every test program. With STRELVIK_TEST_WATCHDOG=N (CTest sets it a little below
// the test's time-out) a test still running after N seconds prints every thread's stack through
// gdb and ends the program, so that a hang shows where it is instead of a bare time-out.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

void print_all_stacks() {
#ifdef _WIN32
  std::fputs("watchdog: no stacks on Windows\n", stderr);
#else
  const std::string pid = std::to_string(getpid());
  const pid_t child = fork();
  if (child == 0) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execlp("gdb", "gdb", "-p", pid.c_str(), "-batch", "-nx", "-ex", "thread apply all bt", static_cast<char*>(nullptr));
    std::fputs("watchdog: gdb could not be started\n", stderr);
    _exit(127);
  }
  if (child > 0) waitpid(child, nullptr, 0);
#endif
}

// Ends the program when the tests outlast their time; joined when they finish first, since
// under wine a detached thread can hang the process.
class Watchdog {
 public:
  explicit Watchdog(long seconds) : thread_([this, seconds] { watch(seconds); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    woken_.notify_one();
    thread_.join();
  }

 private:
  void watch(long seconds) {
    std::unique_lock lock(mutex_);
    if (woken_.wait_for(lock, std::chrono::seconds(seconds), [this] { return finished_; })) return;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "watchdog: still running after %ld s%s%s.%s; every thread's stack:\n", seconds,
                 test ? " in " : "", test ? test->test_suite_name() : "", test ? test->name() : "");
    print_all_stacks();
    std::_Exit(124);
  }

  std::mutex mutex_;
  std::condition_variable woken_;
  bool finished_ = false;
  std::thread thread_;  // last: it starts once the members it reads exist
};

long watchdog_seconds() {
  const char* value = std::getenv("STRELVIK_TEST_WATCHDOG");
  return value ? std::strtol(value, nullptr, 10) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const long seconds = watchdog_seconds();
  std::optional<Watchdog> watchdog;
  if (seconds > 0) watchdog.emplace(seconds);
  return RUN_ALL_TESTS();
}
