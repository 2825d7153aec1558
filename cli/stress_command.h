#pragma once
// `strelvik-cli stress`: the multi-core workload pass after pass for a set time, each pass
// printed as it ends, then the table of passes and the stability. Never submitted.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_run.h"
#include "engine/stress_test.h"
#include "system/run_conditions.h"
#include "verify/run_verdict.h"

struct StressOptions {
  Workload workload = kStandardWorkload;  // --size, --spp, --depth, --tile make it custom
  std::int32_t minutes = kStressDefaultMinutes;
  bool json = false;
  bool record_history = true;  // --no-history turns it off
};

// One pass as the pass runner saw it end.
struct PassRun {
  std::optional<BenchmarkResult> result;  // none when cancelled or failed
  std::string image_sha256;
  SensorSummary sensors;
  std::vector<RunWarning> warnings;  // the conditions the pass ran under
  std::string failure;               // the system refused a thread
};

// What the progress line shows beside a pass's tiles.
struct PassLabel {
  std::int32_t pass = 1;
  double seconds_left = 0.0;  // of the test's minutes, when the pass began
};

// Runs one pass and waits for it: the engine in the runner, a scripted fake in tests. Ctrl-C
// cancels the pass, which then returns without a result.
class IStressPassRunner {
 public:
  virtual ~IStressPassRunner() = default;
  virtual PassRun run_pass(const RunRequest& run, const PassLabel& label) = 0;
};

// A finished stress test as the history keeps it.
struct StressRecord {
  StressSummary summary;
  std::vector<StressPass> passes;
  std::vector<RunWarning> warnings;
  std::int32_t threads = 0;
  std::string date;  // the first pass's
};
// Appends the test to the history and says whether it was recorded. Called only for a finished
// standard test whose every image was right.
using StressRecorder = std::function<bool(const StressRecord&)>;

struct StressEnvironment {
  IStressPassRunner& passes;
  std::function<double()> clock;  // monotonic seconds
  MachineThreads machine;
  ReferenceWorkload reference;
  std::ostream& json_out;  // JSON Lines, with --json
  std::FILE* human;        // text for people
};

// Exit codes: 0 done, 1 a pass could not run, 3 a pass computed a wrong image (nothing is
// stored), 130 cancelled (the passes so far are shown, nothing is stored).
int run_stress_test(const StressOptions& options, StressEnvironment& env, const StressRecorder& recorder);
