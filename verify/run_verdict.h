#pragma once
// Whether a finished run counts: the one rule the window and the runner share. A run's image is
// checked against its workload's reference; only a verified run of that workload at its kind's
// thread count (1 for single-core, every thread the machine gives a multi-core run) may be
// recorded in the history and submitted to the leaderboard.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/benchmark_config.h"

// A workload whose finished image has a known SHA-256: the standard one, or a test's own.
struct ReferenceWorkload {
  BenchmarkConfig config = kStandardWorkload;  // the thread count is set per run
  std::string sha256;
  static ReferenceWorkload standard();
};

struct RunVerdict {
  // True when the run's configuration is not the workload's at its kind's thread count.
  bool custom = false;
  // Against the reference; empty when the configuration (threads aside) is not the workload's.
  std::optional<bool> image_verified;
  bool may_record = false;
  bool may_submit = false;
};

// True when both render the same image, whatever their thread counts.
bool renders_same_image(const BenchmarkConfig& a, const BenchmarkConfig& b);

// `multi_threads` is the thread count a multi-core run of this machine uses.
RunVerdict judge_run(const ReferenceWorkload& workload, const BenchmarkConfig& run, std::int32_t multi_threads,
                     std::string_view image_sha256);
