#pragma once
// The window's stress test: the test in progress or the last one, kept for the score panel and
// its pass bars until the next run starts.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/stress_test.h"
#include "system/run_conditions.h"

struct StressWindowState {
  std::optional<StressTest> test;
  bool active = false;    // passes are being run; the benchmark panel takes each result here
  bool recorded = false;  // the finished test is in the history
  std::string date;       // the first pass's, the test's date in the history
  std::int32_t minutes = kStressDefaultMinutes;
  // Monotonic seconds; a test's fake clock runs a long test in no time.
  std::function<double()> clock = [] { return static_cast<double>(BenchmarkEngine::steady_now_ns()) * 1e-9; };
  // The test's warnings so far, each once (system/stress_conditions.h); the passes' sensors and
  // warnings come from the App's run monitor, and without one there are none.
  std::vector<RunWarning> warnings;
};
