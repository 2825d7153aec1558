#pragma once
// What one invocation of the runner asks for, after parsing and validation.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_run.h"
#include "engine/run_kind.h"
#include "engine/workload.h"
#include "verify/run_verdict.h"

struct RunOptions {
  // The kinds to run, in order: `single`, `smt`, `multi`, `both` (single, then multi) or `all`
  // (single, smt, multi).
  std::vector<RunKind> kinds{RunKind::multi};
  std::optional<std::int32_t> threads;  // --threads (multi only): workers of the multi-core runs
  std::int32_t repeat = 1;
  std::string image_path;                 // --image: PNG of the last finished image
  Workload workload = kStandardWorkload;  // --size, --spp, --depth, --tile
  bool json = false;
  bool record_history = true;  // --no-history turns it off
  bool submit = true;          // --no-submit turns it off
  // What a run's image is checked against: always the standard workload's, but tests put a small
  // workload with its own hash here to run it as the standard one.
  ReferenceWorkload reference = ReferenceWorkload::standard();
};

// The runs to carry out, in order: each kind's, repeated. A kind's thread count is its standard
// one on this machine (verify/run_verdict.h), or --threads for a multi-core run. A kind with no
// standard run here (SMT without SMT) is left out.
std::vector<RunRequest> planned_runs(const RunOptions& options, const MachineThreads& machine);

// Parses "WxH"; nullopt when malformed, not positive, or when the image's bytes overflow 32 bits.
std::optional<std::pair<std::int32_t, std::int32_t>> parse_image_size(const std::string& text);
