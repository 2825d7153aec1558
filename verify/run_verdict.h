#pragma once
// Whether a finished run counts: the one rule the window and the runner share. A run's image is
// checked against its workload's reference; only a verified run of that workload at its kind's
// thread count (standard_threads) may be recorded in the history; any other thread count makes
// it a custom run of its kind, which is neither recorded nor submitted. A multi-core run that could not use every
// logical processor of the machine (an affinity mask, a container's quota) is recorded but never submitted: the
// leaderboard ranks processors, and it would rank this one by a part of it. Likewise a single-core
// or SMT run kept off the fastest core type by the affinity mask.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/benchmark_run.h"
#include "engine/run_kind.h"
#include "engine/workload.h"

// A workload whose finished image has a known SHA-256: the standard one, or a test's own.
struct ReferenceWorkload {
  Workload workload = kStandardWorkload;
  std::string sha256;
  static ReferenceWorkload standard();
};

// The machine's processors as a run sees them.
struct MachineThreads {
  std::int32_t logical = 1;  // the machine's logical processors
  std::int32_t usable = 1;   // those this process may use (the multi-core thread count)
  std::int32_t smt = 0;      // the SMT run's workers: one core's hardware threads; 0: no SMT run
  // Why the single-core and SMT runs are not the standard ones here (the fastest core type lies
  // outside the affinity mask): they are recorded, not submitted. Empty when they are.
  std::string one_core_not_standard_reason{};
};

// The workers of a kind's standard run: 1 for single-core, one core's hardware threads for SMT,
// every processor this process may use for multi-core. The window's buttons, the runner and the
// verdict all ask here.
std::int32_t standard_threads(RunKind kind, const MachineThreads& machine);

struct RunVerdict {
  // True when the run's workload is not the reference's, or its threads not its kind's.
  bool custom = false;
  // Against the reference; empty when the run's workload is not the reference's.
  std::optional<bool> image_verified;
  bool may_record = false;
  bool may_submit = false;
  // Placed among its processor's runs on the leaderboard: a run that may be submitted, or one
  // kept back only by the conditions it ran under (system/run_conditions.h), since viewing is
  // allowed and a low score's likely cause is then named.
  bool may_compare = false;
  // Why a recordable run is not submitted; empty otherwise.
  std::string not_submitted_reason;
};

RunVerdict judge_run(const ReferenceWorkload& reference, const RunRequest& run, const MachineThreads& machine,
                     std::string_view image_sha256);
