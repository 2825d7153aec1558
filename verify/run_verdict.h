#pragma once
// Whether a finished run counts: the one rule the window and the runner share. A run's image is
// checked against its workload's reference; only a verified run of that workload at its kind's
// thread count (1 for single-core, every processor this process may use for a multi-core run) may
// be recorded in the history. A multi-core run that could not use every logical processor of the
// machine (an affinity mask, a container's quota) is recorded but never submitted: the
// leaderboard ranks processors, and it would rank this one by a part of it.
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

// The machine's processors as a run sees them.
struct MachineThreads {
  std::int32_t logical = 1;  // the machine's logical processors
  std::int32_t usable = 1;   // those this process may use (the multi-core thread count)
};

struct RunVerdict {
  // True when the run's configuration is not the workload's at its kind's thread count.
  bool custom = false;
  // Against the reference; empty when the configuration (threads aside) is not the workload's.
  std::optional<bool> image_verified;
  bool may_record = false;
  bool may_submit = false;
  // Why a recordable run is not submitted; empty otherwise.
  std::string not_submitted_reason;
};

// True when both render the same image, whatever their thread counts.
bool renders_same_image(const BenchmarkConfig& a, const BenchmarkConfig& b);

RunVerdict judge_run(const ReferenceWorkload& workload, const BenchmarkConfig& run, const MachineThreads& machine,
                     std::string_view image_sha256);
